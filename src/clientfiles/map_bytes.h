#pragma once

// A whole map read into memory for drawing, in its logical .mul layout
// whichever container holds it.

#include <cstdint>
#include <optional>
#include <string>

#include "clientfiles/file_detection.h"
#include "clientfiles/large_buffer.h"

namespace kestrel {

struct MapBytes {
    // The map's bytes as a .mul holds them: block n at byte n * 196.
    LargeVector<std::uint8_t> bytes;
    // What the file is: its container, and its size as DetectMap tells it
    // (match Known or Unknown; an Unknown size is taken as 6144 x 4096).
    FileDetection detection;
};

// Reads the map at path whole, opened for reading only and without a lock
// (so that a read-only map, or one another program holds open, can be drawn):
// a .mul as it is, a .uop's map entries joined in block order. Throws
// FileException naming path when the file cannot be opened or read,
// ClientFileError naming it for a damaged .uop, a .uop whose map is stored
// compressed, or a .mul whose length fits two facets when the file name does
// not tell which (unless size is given); std::bad_alloc when it does not fit
// in memory. A size given is the map's size, whatever the file tells
// (detection.geometry holds it, detection.match is Known).
MapBytes ReadMapBytes(const std::string& path, std::optional<MapGeometry> size = std::nullopt);

}  // namespace kestrel
