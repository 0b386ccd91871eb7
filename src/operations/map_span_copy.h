#pragma once

#include "clientfiles/binary_file.h"
#include "clientfiles/map_store.h"
#include "operations/copy_settings.h"

namespace kestrel {

// Copies the rectangle of settings from source into dest, cells landing right
// of or below the map left out, altitudes shifted by offZ (8-bit wrap), and a
// destination shorter than the map grown to end with the last cell written
// when that lies past its old end. Block headers and cells outside the
// rectangle keep their bytes, and the result is the same as that of writing
// the cells one by one, rows top to bottom, in any order.
//
// Works one destination block column at a time: the column's span of the
// destination (at most 100,352 bytes) is read, its cells are filled in from at
// most two source block columns read whole, and the span is written back in one
// write. Memory stays under 300 KiB whatever the rectangle.
//
// The source must hold every cell that the rectangle reads: CopyMapRegion
// checks that before it calls this.
//
// Throws FileException when a seek, read or write fails; the block columns
// written before stay written, nothing is rolled back.
void CopyMapSpans(BinaryFile& source, BinaryFile& dest, const CopySettings& settings);

// The same between maps of any size and container, each read and written in
// its own geometry (the clipping follows dest's). source and dest may be the
// same store: the copy then comes out as if the whole rectangle had been read
// before anything was written, however the two overlap. A .uop destination
// must hold every cell written (FileException past its end).
void CopyMapStoreSpans(MapStore& source, MapStore& dest, const CopySettings& settings);

}  // namespace kestrel
