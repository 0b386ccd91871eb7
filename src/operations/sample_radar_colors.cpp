#include "operations/sample_radar_colors.h"

#include <cerrno>
#include <string>
#include <system_error>

#include "clientfiles/binary_file.h"
#include "clientfiles/byte_order.h"
#include "clientfiles/radar_colors.h"
#include "operations/map_colors.h"
#include "operations/sample_world.h"

namespace kestrel {

namespace {

constexpr std::uint32_t kEntryCount = 2 * kRadarItemBase;

struct ColorRun {
    std::uint32_t firstEntry;
    std::uint32_t count;
    Argb color;
};

// Land: the tile runs of sample_world.h. Items: the rocks, the two wall
// styles and the floor boards the generator places; the trees follow below.
const ColorRun kSampleColors[] = {
    {0x0003, 4, 0xFF4A8A32u},                   // grass
    {0x0016, 4, 0xFFD8C48Au},                   // sand
    {0x0071, 4, 0xFF8E6A42u},                   // dirt
    {0x00A8, 4, 0xFF204C94u},                   // water
    {0x00DC, 4, 0xFF807870u},                   // mountain rock
    {0x011A, 4, 0xFFF0F2F6u},                   // snow
    {kRadarItemBase + 0x1363, 11, 0xFF9C9C98u}, // rocks
    {kRadarItemBase + 0x001A, 3, 0xFFB4ACA0u},  // stone walls
    {kRadarItemBase + 0x0006, 3, 0xFF7A5A3Au},  // wooden walls
    {kRadarItemBase + 0x04A9, 4, 0xFFB08A5Cu},  // floor boards
};

// Trunk and crown of each tree kind.
constexpr std::uint16_t kTrunks[] = {0x0CCD, 0x0CD0, 0x0CD3, 0x0CD6,
                                     0x0CD8, 0x0CDA, 0x0CDD, 0x0CE0};
constexpr Argb kTrunk = 0xFF5C4428u;
constexpr Argb kCrown = 0xFF22562Au;

std::uint16_t Narrow(Argb color) {
    const auto channel = [color](int shift) { return (color >> (shift + 3)) & 0x1Fu; };
    return static_cast<std::uint16_t>((channel(16) << 10) | (channel(8) << 5) | channel(0));
}

// Odd variants of a run are one unit of each 5-bit channel darker (lighter
// where a channel is 0): a texture on the map that neither changes the hue
// nor stands out from the ground when zoomed out.
std::uint16_t Variant(Argb color, std::uint32_t variant) {
    const std::uint16_t narrow = Narrow(color);
    const std::uint32_t k = variant % 2;
    std::uint32_t varied = 0;
    for (const int shift : {10, 5, 0}) {
        const std::uint32_t channel = (narrow >> shift) & 0x1Fu;
        varied |= (channel >= k ? channel - k : channel + k) << shift;
    }
    return static_cast<std::uint16_t>(varied);
}

}  // namespace

std::vector<std::uint8_t> SampleRadarColorBytes() {
    std::vector<std::uint8_t> bytes(std::size_t{kEntryCount} * kRadarColorBytes);
    const auto store = [&bytes](std::uint32_t entry, std::uint16_t color) {
        StoreU16Le(bytes.data() + std::size_t{entry} * kRadarColorBytes, color);
    };
    const MapColors palette;
    for (std::uint32_t id = 0; id < kRadarItemBase; ++id) {
        store(id, Narrow(palette.Land(static_cast<std::uint16_t>(id), 0)));
        store(kRadarItemBase + id, Narrow(palette.Item(static_cast<std::uint16_t>(id))));
    }
    for (const ColorRun& run : kSampleColors) {
        for (std::uint32_t k = 0; k < run.count; ++k) {
            store(run.firstEntry + k, Variant(run.color, k));
        }
    }
    for (const std::uint16_t trunk : kTrunks) {
        store(kRadarItemBase + trunk, Narrow(kTrunk));
        store(kRadarItemBase + trunk + 1u, Narrow(kCrown));
    }
    return bytes;
}

void WriteSampleRadarColors(const std::filesystem::path& directory) {
    const std::filesystem::path path = directory / kRadarColorsName;
    BinaryFile file;
    errno = 0;
    if (!file.Open(path.string(), BinaryFile::Mode::CreateTruncate)) {
        const int error = errno;
        std::string text = "cannot create " + path.string();
        if (error != 0) {
            text += ": " + std::generic_category().message(error);
        }
        throw SampleWorldError(text);
    }
    const std::vector<std::uint8_t> bytes = SampleRadarColorBytes();
    file.Write(bytes.data(), bytes.size());
    file.Close();
}

}  // namespace kestrel
