#pragma once

#include "clientfiles/binary_file.h"
#include "operations/copy_settings.h"

namespace kestrel {

// Writes every static item standing inside the rectangle of settings, moved by
// offX, offY and offZ, as a world-item section to items, numbered from 0 in
// walk order: block rows top to bottom, blocks left to right, records in file
// order. Makes few system calls: the visited index entries are read a band of
// block rows at a time, each block's records in one read (from a read-ahead
// window kept for each block column of the rectangle, in bounded chunks for a
// block larger than its window), and the sections go out through an
// ItemScriptBuffer. Memory stays under about 11 MiB whatever the rectangle.
//
// The files must have passed CheckStaticsFiles for settings: the index holds
// every visited entry and every entry's records lie inside the data file.
//
// Throws FileException when a seek, read or write fails. When a seek or read
// fails, the sections found before it are written out before the exception
// leaves; when a write fails, what reached the file stays there.
void ExportStaticsByBlockIn(BinaryFile& index, BinaryFile& data, BinaryFile& items,
                            const CopySettings& settings, const MapGeometry& geometry);
// The same for statics of a 6144 x 4096 map.
void ExportStaticsByBlock(BinaryFile& index, BinaryFile& data, BinaryFile& items,
                          const CopySettings& settings);

}  // namespace kestrel
