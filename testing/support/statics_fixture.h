#pragma once

#include <cstdint>
#include <string>

#include "support/temp_dir.h"

namespace kestrel::test {

// Appends the 7 on-disk bytes of a statics record to data.
void AppendStaticRecord(Bytes& data, std::uint16_t tileId, std::uint8_t x, std::uint8_t y,
                        std::int8_t z = 0, std::uint16_t hue = 0);

// The text of one world-item section, spelled out independently of the
// writer: ten CR LF lines, the serial firstSerial + index wrapped into 32
// signed bits.
std::string WorldItemSection(int index, int tileId, int x, int y, int z, int hue,
                             std::int64_t firstSerial = 0x40000000);

}  // namespace kestrel::test
