#include "operations/settings_exchange.h"

#include "clientfiles/file_detection.h"

#include <algorithm>
#include <limits>

namespace kestrel {

namespace {

constexpr std::size_t kExaminedCharacters = 31;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

const FieldDescription& DescriptionOf(SettingsField field) {
    for (const FieldDescription& row : kSettingsFields) {
        if (row.field == field) {
            return row;
        }
    }
    // Unreachable: every field has its row.
    return kSettingsFields.front();
}

bool IsIntegerField(SettingsField field) {
    return DescriptionOf(field).number != nullptr;
}

IntegerRange RangeOf(SettingsField field) {
    return DescriptionOf(field).range;
}

std::string IntegerRangeMessage(IntegerRange range) {
    return "Please enter an integer between " + std::to_string(range.minimum) + " and " +
           std::to_string(range.maximum) + ".";
}

std::optional<std::int32_t> ParseInteger(std::string_view text) {
    text = text.substr(0, kExaminedCharacters);
    std::size_t at = 0;
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    const std::size_t start = at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-') && at + 1 < text.size() &&
        IsDigit(text[at + 1])) {
        negative = text[at] == '-';
        ++at;
    }
    // Accumulate with saturation: at most 31 digits, clamped past 32 bits.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    while (at < text.size() && IsDigit(text[at])) {
        magnitude = std::min(kLimit, magnitude * 10 + (text[at] - '0'));
        ++at;
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max());
    if (value == 0 && (start >= text.size() || text[start] != '0')) {
        return std::nullopt;
    }
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

FieldRanges ClassicFieldRanges() {
    FieldRanges ranges{};
    for (const FieldDescription& row : kSettingsFields) {
        ranges[static_cast<std::size_t>(row.field)] = row.range;
    }
    return ranges;
}

FieldRanges FieldRangesFor(const std::optional<MapGeometry>& source,
                           const std::optional<MapGeometry>& dest) {
    FieldRanges ranges = ClassicFieldRanges();
    const auto set = [&](SettingsField field, int last) {
        ranges[static_cast<std::size_t>(field)] = {0, last};
    };
    if (source) {
        set(SettingsField::MinX, source->width - 1);
        set(SettingsField::MaxX, source->width - 1);
        set(SettingsField::MinY, source->height - 1);
        set(SettingsField::MaxY, source->height - 1);
    }
    if (dest) {
        set(SettingsField::OffX, dest->width - 1);
        set(SettingsField::OffY, dest->height - 1);
    }
    return ranges;
}

namespace {

std::optional<MapGeometry> KnownSize(const FileDetection& detection) {
    if (detection.match == SizeMatch::Known) {
        return detection.geometry;
    }
    return std::nullopt;
}

}  // namespace

std::optional<MapGeometry> DetectedSourceSize(const CopySettings& settings) {
    if (settings.sourceSize) {
        return settings.sourceSize;
    }
    try {
        return KnownSize(DetectMap(settings.sourceMapPath));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<MapGeometry> DetectedDestSize(const CopySettings& settings) {
    if (settings.destSize) {
        return settings.destSize;
    }
    try {
        return KnownSize(DetectMap(settings.destMapPath));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> StoreField(CopySettings& settings, SettingsField field,
                                      std::string_view text) {
    return StoreField(settings, field, text, ClassicFieldRanges());
}

std::optional<std::string> StoreField(CopySettings& settings, SettingsField field,
                                      std::string_view text, const FieldRanges& ranges) {
    const FieldDescription& description = DescriptionOf(field);
    const IntegerRange range = ranges[static_cast<std::size_t>(field)];
    if (description.path != nullptr) {
        (settings.*description.path).assign(text);
        return std::nullopt;
    }
    const std::optional<std::int32_t> value = ParseInteger(text);
    if (!value) {
        return std::string(kIntegerSyntaxMessage);
    }
    settings.*description.number = *value;
    if (*value < range.minimum || *value > range.maximum) {
        return IntegerRangeMessage(range);
    }
    return std::nullopt;
}

std::string FieldText(const CopySettings& settings, SettingsField field) {
    const FieldDescription& description = DescriptionOf(field);
    if (description.path != nullptr) {
        return settings.*description.path;
    }
    return std::to_string(settings.*description.number);
}

}  // namespace kestrel
