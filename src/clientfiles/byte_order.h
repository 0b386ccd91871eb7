#pragma once

// Little-endian loads and stores of the client data files' multi-byte values.
// Every value on disk is little-endian whatever the host's byte order.

#include <cstdint>

namespace kestrel {

inline std::uint16_t LoadU16Le(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline std::uint32_t LoadU32Le(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

inline std::int32_t LoadI32Le(const std::uint8_t* bytes) {
    return static_cast<std::int32_t>(LoadU32Le(bytes));
}

inline void StoreU16Le(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value & 0xFFu);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void StoreU32Le(std::uint8_t* bytes, std::uint32_t value) {
    bytes[0] = static_cast<std::uint8_t>(value & 0xFFu);
    bytes[1] = static_cast<std::uint8_t>((value >> 8) & 0xFFu);
    bytes[2] = static_cast<std::uint8_t>((value >> 16) & 0xFFu);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

}  // namespace kestrel
