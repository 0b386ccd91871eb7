#pragma once

// Bob Jenkins' lookup3 hash (hashlittle2), the name hash of the UOP
// container's entries.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrel {

// The two 32-bit results of hashlittle2.
struct Lookup3Result {
    std::uint32_t c = 0;  // the primary hash
    std::uint32_t b = 0;  // the secondary hash
};

// hashlittle2 of length bytes at key with the initial values seedC and seedB,
// reading the bytes in little-endian order on every host. Never throws.
Lookup3Result HashLittle2(const void* key, std::size_t length, std::uint32_t seedC = 0,
                          std::uint32_t seedB = 0) noexcept;

// The 64-bit name hash of a UOP entry: hashlittle2 of the name's bytes with
// both seeds 0, as (b << 32) | c. Never throws.
std::uint64_t UopNameHash(std::string_view name) noexcept;

}  // namespace kestrel
