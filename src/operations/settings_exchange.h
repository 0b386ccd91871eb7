#pragma once

// The rules by which typed texts become CopySettings values, shared by every
// front end: the twelve fields described once, in one table, with their
// exchange order, ranges, command-line options and dialog controls; the
// integer syntax and the two rejection messages.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "operations/copy_settings.h"

namespace kestrel {

// The name by which code refers to a field. Its value indexes arrays that
// hold something per field; the table below says everything else.
enum class SettingsField {
    SourceMapPath,
    StaticsIndexPath,
    StaticsDataPath,
    DestMapPath,
    MaxX,
    MinX,
    OffX,
    MaxY,
    MinY,
    OffY,
    OffZ,
    ItemsPath,
};

struct IntegerRange {
    int minimum;
    int maximum;
};

// One field of the settings: where it lives and how each front end shows it.
// A field is either a path (path set, number null) or an integer (number set,
// path null) with its accepted range.
struct FieldDescription {
    SettingsField field;
    // Position in the order in which the values are taken and checked: the
    // first rejected one stops the exchange, so this order decides which
    // rejection is reported.
    int exchangePosition;
    std::string CopySettings::*path;
    int CopySettings::*number;
    IntegerRange range;       // integers only, both ends included
    std::string_view option;  // kestrel-cli's option
    std::string_view help;    // its line in kestrel-cli's help
    int controlId;            // the dialog's edit control
};

// Every field, in the order kestrel-cli's help and manual list them.
inline constexpr std::array<FieldDescription, 12> kSettingsFields = {{
    {SettingsField::SourceMapPath, 0, &CopySettings::sourceMapPath, nullptr, {0, 0},
     "--source-map", "map file to copy from", 1002},
    {SettingsField::DestMapPath, 3, &CopySettings::destMapPath, nullptr, {0, 0}, "--dest-map",
     "existing map file to copy into", 1005},
    {SettingsField::StaticsIndexPath, 1, &CopySettings::staticsIndexPath, nullptr, {0, 0},
     "--statics-index", "statics index to read", 1000},
    {SettingsField::StaticsDataPath, 2, &CopySettings::staticsDataPath, nullptr, {0, 0},
     "--statics-data", "statics data to read", 1001},
    {SettingsField::ItemsPath, 11, &CopySettings::itemsPath, nullptr, {0, 0}, "--items",
     "world-item script to write", 1003},
    {SettingsField::MinX, 5, nullptr, &CopySettings::minX, {0, 6143}, "--min-x",
     "leftmost source column", 1008},
    {SettingsField::MaxX, 4, nullptr, &CopySettings::maxX, {0, 6143}, "--max-x",
     "rightmost source column", 1012},
    {SettingsField::MinY, 8, nullptr, &CopySettings::minY, {0, 4095}, "--min-y", "top source row",
     1011},
    {SettingsField::MaxY, 7, nullptr, &CopySettings::maxY, {0, 4095}, "--max-y",
     "bottom source row", 1013},
    {SettingsField::OffX, 6, nullptr, &CopySettings::offX, {0, 6143}, "--off-x",
     "destination column of the left column", 1014},
    {SettingsField::OffY, 9, nullptr, &CopySettings::offY, {0, 4095}, "--off-y",
     "destination row of the top row", 1015},
    {SettingsField::OffZ, 10, nullptr, &CopySettings::offZ, {-256, 256}, "--off-z",
     "altitude shift (relative)", 1016},
}};

inline constexpr std::size_t kFieldCount = kSettingsFields.size();

// The description of field.
const FieldDescription& DescriptionOf(SettingsField field);

namespace detail {

// The fields sorted by exchange position; fails to compile unless every field
// has one row and the positions are 0..kFieldCount-1.
constexpr std::array<SettingsField, kFieldCount> ExchangeOrder() {
    std::array<SettingsField, kFieldCount> order{};
    std::array<bool, kFieldCount> placed{};
    std::array<bool, kFieldCount> described{};
    for (const FieldDescription& row : kSettingsFields) {
        const auto position = static_cast<std::size_t>(row.exchangePosition);
        const auto index = static_cast<std::size_t>(row.field);
        if (position >= kFieldCount || placed[position] || index >= kFieldCount ||
            described[index] || (row.path == nullptr) == (row.number == nullptr)) {
            throw "every field needs exactly one row, with its own exchange position";
        }
        placed[position] = true;
        described[index] = true;
        order[position] = row.field;
    }
    return order;
}

}  // namespace detail

// The fields in exchange order.
inline constexpr std::array<SettingsField, kFieldCount> kExchangeOrder = detail::ExchangeOrder();

inline constexpr const char* kIntegerSyntaxMessage = "Please enter an integer.";

bool IsIntegerField(SettingsField field);

// The accepted range of an integer field, both ends included.
IntegerRange RangeOf(SettingsField field);

// "Please enter an integer between MIN and MAX."
std::string IntegerRangeMessage(IntegerRange range);

// Parses a number field's text: only its first 31 characters count; blanks
// and tabs may stand before and after; an optional sign must be followed
// directly by digits; values beyond 32 bits are clamped to the nearer end.
// Returns nothing for text that is not such an integer, and for "-0" and
// "+0".
std::optional<std::int32_t> ParseInteger(std::string_view text);

// Takes text into field of settings. A path is taken whole and untrimmed. A
// number is parsed and stored, then checked against its range. Returns the
// rejection message, or nothing when the value was accepted. A syntax
// rejection leaves the field as it was; a range rejection has already stored
// the value.
std::optional<std::string> StoreField(CopySettings& settings, SettingsField field,
                                      std::string_view text);

// The accepted range of every integer field, indexed by SettingsField (paths:
// {0, 0}).
using FieldRanges = std::array<IntegerRange, kFieldCount>;

// The ranges of the table, those of 6144 x 4096 maps.
FieldRanges ClassicFieldRanges();

// The ranges for maps of the sizes given: the source rectangle's columns and
// rows follow source (0..width-1, 0..height-1), the corner's follow dest; a
// size not given (a file missing or of no known size) keeps the table's
// ranges. Off Z keeps its range.
FieldRanges FieldRangesFor(const std::optional<MapGeometry>& source,
                           const std::optional<MapGeometry>& dest);

// The sizes that decide the ranges, told from the files that settings name:
// the source map's (for statics: the index's, else the map's) and the
// destination map's; settings.sourceSize/destSize win. A file missing, of no
// known size, or whose length fits two facets gives nothing. Reads without
// locking; never throws.
std::optional<MapGeometry> DetectedSourceSize(const CopySettings& settings);
std::optional<MapGeometry> DetectedDestSize(const CopySettings& settings);

// StoreField with the given ranges instead of the table's.
std::optional<std::string> StoreField(CopySettings& settings, SettingsField field,
                                      std::string_view text, const FieldRanges& ranges);

// The text a field shows: a path unchanged, a number in plain decimal.
std::string FieldText(const CopySettings& settings, SettingsField field);

}  // namespace kestrel
