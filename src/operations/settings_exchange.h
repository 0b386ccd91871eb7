#pragma once

// The rules by which typed texts become CopySettings values, shared by every
// front end: the twelve fields in their exchange order, the integer syntax,
// the ranges and the two rejection messages.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "operations/copy_settings.h"

namespace kestrel {

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

// The order in which the fields are taken and checked; the first rejected
// field stops the exchange, so this order decides which error is reported.
inline constexpr std::array<SettingsField, 12> kExchangeOrder = {
    SettingsField::SourceMapPath, SettingsField::StaticsIndexPath,
    SettingsField::StaticsDataPath, SettingsField::DestMapPath,
    SettingsField::MaxX, SettingsField::MinX, SettingsField::OffX,
    SettingsField::MaxY, SettingsField::MinY, SettingsField::OffY,
    SettingsField::OffZ, SettingsField::ItemsPath,
};

struct IntegerRange {
    int minimum;
    int maximum;
};

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

// The text a field shows: a path unchanged, a number in plain decimal.
std::string FieldText(const CopySettings& settings, SettingsField field);

}  // namespace kestrel
