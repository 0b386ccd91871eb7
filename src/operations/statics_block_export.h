#pragma once

#include "clientfiles/binary_file.h"
#include "operations/copy_settings.h"

namespace kestrel {

// Writes the same items script, byte for byte, as ExportStaticsRecordByRecord
// for the same files and settings, and leaves the files the same way when it
// fails, but with few system calls: the visited index entries are read a band
// of block rows at a time, each block's records in one read (from a read-ahead
// window kept for each block column of the rectangle, in bounded chunks for a
// block larger than its window), and the sections go out through an
// ItemScriptBuffer. Memory stays under about 11 MiB whatever the rectangle.
//
// Entries and records that run past the end of their file are read as the
// record-by-record walk reads them: the bytes not delivered keep the previous
// entry's or record's.
//
// Throws FileException when a seek, read or write fails. When a seek or read
// fails, the sections found before it are written out before the exception
// leaves; when a write fails, what reached the file stays there.
void ExportStaticsByBlock(BinaryFile& index, BinaryFile& data, BinaryFile& items,
                          const CopySettings& settings);

}  // namespace kestrel
