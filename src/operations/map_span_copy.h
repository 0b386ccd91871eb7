#pragma once

#include "clientfiles/binary_file.h"
#include "operations/copy_settings.h"

namespace kestrel {

// Copies the rectangle of settings from source into dest with the same result,
// byte for byte, as CopyMapCellByCell: the same cells, clipped at the map's
// right and bottom edges, altitudes shifted by offZ, and a destination shorter
// than the map grown to end with the last cell written when that lies past its
// old end. Block headers and cells outside the rectangle keep their bytes.
//
// Works one destination block column at a time: the column's span of the
// destination (at most 100,352 bytes) is read, its cells are filled in from at
// most two source block columns read whole, and the span is written back in one
// write. Memory stays under 300 KiB whatever the rectangle.
//
// A source too short for the rectangle is copied cell by cell, so that the
// cells it lacks come out as the cell-by-cell copy writes them.
//
// Throws FileException when a seek, read or write fails; the block columns
// written before stay written, nothing is rolled back.
void CopyMapSpans(BinaryFile& source, BinaryFile& dest, const CopySettings& settings);

}  // namespace kestrel
