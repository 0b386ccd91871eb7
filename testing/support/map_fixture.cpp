#include "support/map_fixture.h"

namespace kestrel::test {

Bytes PatternBytes(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

std::uint64_t MapCellPosition(int x, int y) {
    return std::uint64_t(x / 8) * 100352 + std::uint64_t(y / 8) * 196 + 4 +
           std::uint64_t((x % 8) + (y % 8) * 8) * 3;
}

Bytes ExpectedMapCopy(const Bytes& source, Bytes dest, const CopySettings& settings) {
    for (int y = settings.minY; y <= settings.maxY; ++y) {
        for (int x = settings.minX; x <= settings.maxX; ++x) {
            const int toX = settings.offX + x - settings.minX;
            const int toY = settings.offY + y - settings.minY;
            if (toX >= 6144 || toY >= 4096) {
                continue;
            }
            const auto from = static_cast<std::size_t>(MapCellPosition(x, y));
            const auto to = static_cast<std::size_t>(MapCellPosition(toX, toY));
            if (dest.size() < to + 3) {
                dest.resize(to + 3, 0);
            }
            dest[to] = source[from];
            dest[to + 1] = source[from + 1];
            dest[to + 2] = static_cast<std::uint8_t>(source[from + 2] + settings.offZ);
        }
    }
    return dest;
}

}  // namespace kestrel::test
