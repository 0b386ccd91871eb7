#pragma once

// The statics export written the plainest way, one entry and one record at a
// time: the reference that the program's block export is compared with by the
// tests and the benchmark. Not part of the programs.

#include <cstdint>

#include "clientfiles/binary_file.h"
#include "clientfiles/statics_file.h"
#include "operations/copy_settings.h"

namespace kestrel {

// Reads the entry of block (bx, by) in one read. A lookup of -1 sets length to
// 0. Bytes past the end of the index are not delivered; the fields they belong
// to keep their previous bytes. Throws FileException when the system refuses.
void ReadStaticIndexEntry(BinaryFile& index, int bx, int by, StaticIndexEntry& entry);

// Reads the record at byte position of the data file in five reads (tileId,
// x, y, z, hue). Bytes past the end are not delivered and keep their previous
// values. Throws FileException for a negative position or a refused read.
void ReadStaticRecord(BinaryFile& data, std::int64_t position, StaticRecord& record);

// The walk of the export: block rows of the rectangle top to bottom, blocks
// left to right, records in file order, through ReadStaticIndexEntry,
// ReadStaticRecord and WriteWorldItem; every item standing inside the
// rectangle becomes a section, moved by offX, offY and offZ and numbered from 0.
void ExportStaticsRecordByRecord(BinaryFile& index, BinaryFile& data, BinaryFile& items,
                                 const CopySettings& settings);

}  // namespace kestrel
