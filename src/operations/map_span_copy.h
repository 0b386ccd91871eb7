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
// Works a destination block column at a time, or ten at a time when the
// rectangle fills at least half of each: the span of the destination from the
// first cell to the last cell written (at most about 1 MiB) is read, its cells
// are filled in from the source block columns they come from, read whole in
// one read, and the span is written back in one write. Memory stays under
// 3 MiB whatever the rectangle.
//
// A source too short for the rectangle is copied cell by cell, so that the
// cells it lacks come out as the cell-by-cell copy writes them.
//
// Throws FileException when a seek, read or write fails; the block columns
// written before stay written, nothing is rolled back.
void CopyMapSpans(BinaryFile& source, BinaryFile& dest, const CopySettings& settings);

}  // namespace kestrel
