#pragma once

#include "clientfiles/binary_file.h"
#include "operations/copy_settings.h"

namespace kestrel {

// Appends one world-item section to the items script at the file's current
// position: ten CR LF-terminated lines,
//   SECTION WORLDITEM <index> / { / SERIAL <firstSerial + index> / ID <tileId> /
//   X <x> / Y <y> / Z <z> / TYPE 255 / COLOR <hue> / }
// with the values in plain signed decimal, the serial computed in 32-bit
// arithmetic that wraps around. The section goes out in eight writes, each
// piece formatted just before it is written. Throws FileException (naming the
// items file) when a write fails; what reached the file stays.
void WriteWorldItem(BinaryFile& items, int x, int y, int z, int tileId, int hue, int index,
                    int firstSerial = kDefaultFirstSerial);

}  // namespace kestrel
