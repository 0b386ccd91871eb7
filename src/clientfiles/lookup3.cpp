#include "clientfiles/lookup3.h"

namespace kestrel {

namespace {

constexpr std::uint32_t kInitialValue = 0xDEADBEEFu;
constexpr std::size_t kRoundBytes = 12;

constexpr std::uint32_t Rotate(std::uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

// Mixes three words reversibly, so that every input bit reaches every output
// bit of the next round.
constexpr void Mix(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c) {
    a -= c;
    a ^= Rotate(c, 4);
    c += b;
    b -= a;
    b ^= Rotate(a, 6);
    a += c;
    c -= b;
    c ^= Rotate(b, 8);
    b += a;
    a -= c;
    a ^= Rotate(c, 16);
    c += b;
    b -= a;
    b ^= Rotate(a, 19);
    a += c;
    c -= b;
    c ^= Rotate(b, 4);
    b += a;
}

// The last mixing, done once after the final (partial) round.
constexpr void Final(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c) {
    c ^= b;
    c -= Rotate(b, 14);
    a ^= c;
    a -= Rotate(c, 11);
    b ^= a;
    b -= Rotate(a, 25);
    c ^= b;
    c -= Rotate(b, 16);
    a ^= c;
    a -= Rotate(c, 4);
    b ^= a;
    b -= Rotate(a, 14);
    c ^= b;
    c -= Rotate(b, 24);
}

// Up to four bytes as a little-endian word; missing high bytes count as zero.
std::uint32_t Word(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t at = count; at > 0; --at) {
        value = (value << 8) | bytes[at - 1];
    }
    return value;
}

}  // namespace

Lookup3Result HashLittle2(const void* key, std::size_t length, std::uint32_t seedC,
                          std::uint32_t seedB) noexcept {
    const auto* bytes = static_cast<const std::uint8_t*>(key);
    std::uint32_t a = kInitialValue + static_cast<std::uint32_t>(length) + seedC;
    std::uint32_t b = a;
    std::uint32_t c = a + seedB;

    while (length > kRoundBytes) {
        a += Word(bytes, 4);
        b += Word(bytes + 4, 4);
        c += Word(bytes + 8, 4);
        Mix(a, b, c);
        bytes += kRoundBytes;
        length -= kRoundBytes;
    }
    // An empty tail (only for an empty key) skips the final mixing.
    if (length == 0) {
        return {c, b};
    }
    a += Word(bytes, length < 4 ? length : 4);
    if (length > 4) {
        b += Word(bytes + 4, length < 8 ? length - 4 : 4);
    }
    if (length > 8) {
        c += Word(bytes + 8, length - 8);
    }
    Final(a, b, c);
    return {c, b};
}

std::uint64_t UopNameHash(std::string_view name) noexcept {
    const Lookup3Result hash = HashLittle2(name.data(), name.size());
    return (std::uint64_t{hash.b} << 32) | hash.c;
}

}  // namespace kestrel
