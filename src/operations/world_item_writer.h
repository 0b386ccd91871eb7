#pragma once

#include "clientfiles/binary_file.h"

namespace kestrel {

// The serial of section 0 unless another first serial is asked for.
inline constexpr int kDefaultFirstSerial = 0x40000000;

// Appends one world-item section to the items script at the file's current
// position: ten CR LF-terminated lines,
//   SECTION WORLDITEM <index> / { / SERIAL <firstSerial + index> / ID <tileId> /
//   X <x> / Y <y> / Z <z> / TYPE 255 / COLOR <hue> / }
// with the values in plain signed decimal. The section goes out in eight
// writes, each piece formatted just before it is written. Throws FileException
// (naming the items file) when a write fails; what reached the file stays.
void WriteWorldItem(BinaryFile& items, int x, int y, int z, int tileId, int hue, int index,
                    int firstSerial = kDefaultFirstSerial);

// The serial of the section with the given index: firstSerial + index in
// 32-bit arithmetic that wraps around.
int WorldItemSerial(int index, int firstSerial = kDefaultFirstSerial);

}  // namespace kestrel
