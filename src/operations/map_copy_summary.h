#pragma once

#include <cstdint>

#include "clientfiles/map_store.h"
#include "operations/copy_settings.h"

namespace kestrel {

// What a map copy does (or would do) to its destination.
struct MapCopySummary {
    std::uint64_t cellsCopied = 0;
    // Cells of the rectangle left out because they would land right of the
    // map's last column, and, of the others, below its last row.
    std::uint64_t cellsClippedRight = 0;
    std::uint64_t cellsClippedBottom = 0;
    // Copied cells whose altitude plus the shift lies outside -128..127, so
    // that it wraps round in 8 bits.
    std::uint64_t cellsWrapped = 0;
    // The lowest and highest altitude of the copied cells after the shift;
    // both 0 when no cell is copied.
    int lowestAltitude = 0;
    int highestAltitude = 0;
    // Bytes of the destination that get another value, counting every byte
    // added when the file grows.
    std::uint64_t bytesChanged = 0;
};

// Works out, reading but writing nothing, what copying the rectangle of
// settings from source into dest does, each map in its own geometry, clipped
// at dest's edges (the source must hold every cell the rectangle reads, as
// CopyMapRegion checks; source and dest may be the same store). Throws
// FileException when a read fails.
MapCopySummary SummariseMapCopy(const CopySettings& settings, MapStore& source, MapStore& dest);

}  // namespace kestrel
