#include "support/map_fixture.h"

#include <utility>

namespace kestrel::test {

CopySettings Rectangle(int minX, int maxX, int minY, int maxY, int offX, int offY, int offZ) {
    CopySettings settings;
    settings.minX = minX;
    settings.maxX = maxX;
    settings.minY = minY;
    settings.maxY = maxY;
    settings.offX = offX;
    settings.offY = offY;
    settings.offZ = offZ;
    return settings;
}

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
    return ExpectedMapCopy(source, {6144, 4096}, std::move(dest), {6144, 4096}, settings);
}

std::uint64_t MapCellPosition(MapSize size, int x, int y) {
    const std::uint64_t block =
        std::uint64_t(x / 8) * std::uint64_t(size.height / 8) + std::uint64_t(y / 8);
    return block * 196 + 4 + std::uint64_t((x % 8) + (y % 8) * 8) * 3;
}

Bytes ExpectedMapCopy(const Bytes& source, MapSize sourceSize, Bytes dest, MapSize destSize,
                      const CopySettings& settings) {
    for (int y = settings.minY; y <= settings.maxY; ++y) {
        for (int x = settings.minX; x <= settings.maxX; ++x) {
            const int toX = settings.offX + x - settings.minX;
            const int toY = settings.offY + y - settings.minY;
            if (toX >= destSize.width || toY >= destSize.height) {
                continue;
            }
            const auto from = static_cast<std::size_t>(MapCellPosition(sourceSize, x, y));
            const auto to = static_cast<std::size_t>(MapCellPosition(destSize, toX, toY));
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
