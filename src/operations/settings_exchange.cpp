#include "operations/settings_exchange.h"

#include <algorithm>
#include <limits>

namespace kestrel {

namespace {

constexpr std::size_t kExaminedCharacters = 31;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Settings is CopySettings or const CopySettings; the member keeps its constness.
template <class Settings>
auto PathMember(Settings& settings, SettingsField field) -> decltype(&settings.itemsPath) {
    switch (field) {
        case SettingsField::SourceMapPath:
            return &settings.sourceMapPath;
        case SettingsField::StaticsIndexPath:
            return &settings.staticsIndexPath;
        case SettingsField::StaticsDataPath:
            return &settings.staticsDataPath;
        case SettingsField::DestMapPath:
            return &settings.destMapPath;
        case SettingsField::ItemsPath:
            return &settings.itemsPath;
        default:
            return nullptr;
    }
}

template <class Settings>
auto IntegerMember(Settings& settings, SettingsField field) -> decltype(&settings.offZ) {
    switch (field) {
        case SettingsField::MaxX:
            return &settings.maxX;
        case SettingsField::MinX:
            return &settings.minX;
        case SettingsField::OffX:
            return &settings.offX;
        case SettingsField::MaxY:
            return &settings.maxY;
        case SettingsField::MinY:
            return &settings.minY;
        case SettingsField::OffY:
            return &settings.offY;
        case SettingsField::OffZ:
            return &settings.offZ;
        default:
            return nullptr;
    }
}

}  // namespace

bool IsIntegerField(SettingsField field) {
    CopySettings probe;
    return IntegerMember(probe, field) != nullptr;
}

IntegerRange RangeOf(SettingsField field) {
    switch (field) {
        case SettingsField::MaxX:
        case SettingsField::MinX:
        case SettingsField::OffX:
            return {0, 6143};
        case SettingsField::MaxY:
        case SettingsField::MinY:
        case SettingsField::OffY:
            return {0, 4095};
        case SettingsField::OffZ:
            return {-256, 256};
        default:
            return {0, 0};
    }
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

std::optional<std::string> StoreField(CopySettings& settings, SettingsField field,
                                      std::string_view text) {
    if (std::string* path = PathMember(settings, field)) {
        path->assign(text);
        return std::nullopt;
    }
    int* number = IntegerMember(settings, field);
    const std::optional<std::int32_t> value = ParseInteger(text);
    if (!value) {
        return std::string(kIntegerSyntaxMessage);
    }
    *number = *value;
    const IntegerRange range = RangeOf(field);
    if (*value < range.minimum || *value > range.maximum) {
        return IntegerRangeMessage(range);
    }
    return std::nullopt;
}

std::string FieldText(const CopySettings& settings, SettingsField field) {
    if (const std::string* path = PathMember(settings, field)) {
        return *path;
    }
    return std::to_string(*IntegerMember(settings, field));
}

}  // namespace kestrel
