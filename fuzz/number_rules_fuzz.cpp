// The number rules: ParseInteger and StoreField over any text. The first byte
// of the input picks the field; the rest is the text. Besides never crashing:
// the result agrees with a reference built on strtoll, ignores everything past
// the 31st character, reads back the same when printed with blanks around,
// and StoreField stores and rejects exactly as the rules say.

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "operations/settings_exchange.h"

using kestrel::fuzz::Check;

namespace {

// The rules again, by other means: strtoll reads the sign and digits (and
// saturates), the rest is checked around it.
std::optional<std::int32_t> ReferenceParse(std::string_view text) {
    const std::string examined(text.substr(0, 31));
    const std::size_t start = examined.find_first_not_of(" \t");
    if (start == std::string::npos) {
        return std::nullopt;
    }
    const char first = examined[start];
    const bool signedNumber = (first == '+' || first == '-') && start + 1 < examined.size() &&
                              examined[start + 1] >= '0' && examined[start + 1] <= '9';
    if (!signedNumber && (first < '0' || first > '9')) {
        return std::nullopt;  // also keeps strtoll from skipping other white space
    }
    const char* begin = examined.c_str() + start;
    char* end = nullptr;
    errno = 0;
    const long long wide = std::strtoll(begin, &end, 10);
    const long long value =
        wide < std::numeric_limits<std::int32_t>::min()   ? std::numeric_limits<std::int32_t>::min()
        : wide > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : wide;
    if (value == 0 && first != '0') {
        return std::nullopt;
    }
    for (const char* rest = end; rest != examined.c_str() + examined.size(); ++rest) {
        if (*rest != ' ' && *rest != '\t') {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(value);
}

bool SameSettings(const kestrel::CopySettings& a, const kestrel::CopySettings& b) {
    for (const kestrel::SettingsField field : kestrel::kExchangeOrder) {
        if (kestrel::FieldText(a, field) != kestrel::FieldText(b, field)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrel;
    if (size == 0) {
        return 0;
    }
    const SettingsField field = kExchangeOrder[data[0] % kExchangeOrder.size()];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::optional<std::int32_t> value = ParseInteger(text);
    Check(value == ReferenceParse(text), "ParseInteger differs from the reference");
    Check(ParseInteger(text.substr(0, 31)) == value, "characters past the 31st changed the result");
    if (text.size() > 31) {
        std::string changed(text);
        for (std::size_t at = 31; at < changed.size(); ++at) {
            changed[at] = static_cast<char>(changed[at] ^ 0x5A);
        }
        Check(ParseInteger(changed) == value, "characters past the 31st changed the result");
    }
    if (value) {
        const std::string printed = " \t" + std::to_string(*value) + "\t ";
        Check(ParseInteger(printed) == value, "a value printed back reads differently");
    }

    CopySettings settings;
    const CopySettings before = settings;
    const std::optional<std::string> rejection = StoreField(settings, field, text);
    CopySettings others = settings;
    if (!IsIntegerField(field)) {
        Check(!rejection, "a path was rejected");
        Check(FieldText(settings, field) == text, "a path was not taken whole");
        StoreField(others, field, FieldText(before, field));
        Check(SameSettings(others, before), "storing a path changed another field");
        return 0;
    }
    if (!value) {
        Check(rejection == std::string(kIntegerSyntaxMessage), "wrong syntax rejection");
        Check(SameSettings(settings, before), "a syntax rejection changed the settings");
        return 0;
    }
    Check(FieldText(settings, field) == std::to_string(*value),
          "the value stored is not the one read");
    const IntegerRange range = RangeOf(field);
    const bool inRange = *value >= range.minimum && *value <= range.maximum;
    Check(inRange ? !rejection : rejection == IntegerRangeMessage(range), "wrong range decision");
    StoreField(others, field, FieldText(before, field));
    Check(SameSettings(others, before), "storing a number changed another field");
    return 0;
}
