#pragma once

// The radar colours radarcol.mul: one 16-bit little-endian RGB555 colour per
// graphic, no header. Entry id is the colour of land tile id (0x0000-0x3FFF),
// entry 0x4000 + id the colour of item graphic id.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace kestrel {

inline constexpr std::int32_t kRadarColorBytes = 2;
inline constexpr std::uint32_t kRadarItemBase = 0x4000;  // entry of item graphic 0
inline constexpr const char* kRadarColorsName = "radarcol.mul";

// An opaque colour 0xFFRRGGBB, as QImage::Format_RGB32 stores it.
using Argb = std::uint32_t;

// Widens an RGB555 colour (bit 15 ignored) to 0xFFRRGGBB: each 5-bit channel c
// becomes (c << 3) | (c >> 2), so 0 stays 0 and 31 becomes 255.
constexpr Argb WidenRgb555(std::uint16_t color) {
    const auto widen = [](std::uint32_t channel) { return (channel << 3) | (channel >> 2); };
    return 0xFF000000u | (widen((color >> 10) & 0x1Fu) << 16) | (widen((color >> 5) & 0x1Fu) << 8) |
           widen(color & 0x1Fu);
}

// The colours of one radarcol.mul, widened once.
class RadarColors {
public:
    // Decodes the file's bytes; a last odd byte is ignored.
    explicit RadarColors(std::span<const std::uint8_t> bytes);

    // Entries the file holds.
    std::size_t Size() const { return colors.size(); }

    // The colour of land tile tileId, or of item graphic itemId; an entry past
    // the end of the file is black (0xFF000000).
    Argb Land(std::uint16_t tileId) const { return Entry(tileId); }
    Argb Item(std::uint16_t itemId) const { return Entry(kRadarItemBase + itemId); }

private:
    Argb Entry(std::uint32_t index) const {
        return index < colors.size() ? colors[index] : 0xFF000000u;
    }

    std::vector<Argb> colors;
};

// The radarcol.mul in the directory of mapPath, its name compared without
// regard to case (client folders copied from Windows keep any spelling), or
// nullopt when there is none. Never throws; an unreadable directory counts as
// having none.
std::optional<std::filesystem::path> FindRadarColorsBeside(const std::filesystem::path& mapPath);

}  // namespace kestrel
