#pragma once

// The radar colours that go with the generated sample world.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace kestrel {

// The bytes of a radarcol.mul of 0x8000 entries (land tiles 0x0000-0x3FFF,
// then item graphics 0x0000-0x3FFF) in which the sample world's land tiles
// (grass, sand, dirt, water, rock, snow) and items (tree trunks and crowns,
// rocks, walls, floor boards) have colours of their own, slightly varied
// between interchangeable variants, and every other graphic the colour of the
// built-in palette (land at altitude 0).
std::vector<std::uint8_t> SampleRadarColorBytes();

// Writes those bytes as radarcol.mul into directory, which must exist,
// replacing a file of that name. Throws SampleWorldError when the file cannot
// be created, FileException when a write fails.
void WriteSampleRadarColors(const std::filesystem::path& directory);

}  // namespace kestrel
