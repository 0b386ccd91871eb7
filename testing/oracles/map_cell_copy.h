#pragma once

// The map copy written the plainest way, one cell at a time: the reference
// that the program's span copy is compared with by the tests, the fuzzers and
// the benchmark. Not part of the programs.

#include <cstdint>

#include "clientfiles/binary_file.h"
#include "operations/copy_settings.h"

namespace kestrel {

// Reads cell (x, y): one seek and two reads. A byte that lies past the end of
// the file is not delivered, and the part of tileId or altitude it belongs to
// keeps its previous value. Throws FileException when the system refuses.
void ReadMapCell(BinaryFile& file, int x, int y, std::uint16_t& tileId, std::int8_t& altitude);

// Writes cell (x, y): one seek and two writes, the tile number low byte first,
// then the altitude. A cell past the end lengthens the file to end with it.
// Throws FileException when a write fails or comes up short.
void WriteMapCell(BinaryFile& file, int x, int y, std::uint16_t tileId, std::int8_t altitude);

// The copy loop of the rectangle of settings, cell by cell: one ReadMapCell
// and one WriteMapCell per cell, rows top to bottom, each row left to right,
// clipped at the map's right and bottom edges, altitudes shifted by offZ.
void CopyMapCellByCell(BinaryFile& source, BinaryFile& dest, const CopySettings& settings);

}  // namespace kestrel
