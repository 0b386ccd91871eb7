#include "support/statics_fixture.h"

namespace kestrel::test {

void AppendStaticRecord(Bytes& data, std::uint16_t tileId, std::uint8_t x, std::uint8_t y,
                        std::int8_t z, std::uint16_t hue) {
    const std::uint8_t bytes[7] = {static_cast<std::uint8_t>(tileId & 0xFF),
                                   static_cast<std::uint8_t>(tileId >> 8),
                                   x,
                                   y,
                                   static_cast<std::uint8_t>(z),
                                   static_cast<std::uint8_t>(hue & 0xFF),
                                   static_cast<std::uint8_t>(hue >> 8)};
    data.insert(data.end(), bytes, bytes + 7);
}

std::string WorldItemSection(int index, int tileId, int x, int y, int z, int hue,
                             std::int64_t firstSerial) {
    std::int64_t serial = (firstSerial + index) % 4294967296;
    if (serial >= 2147483648) {
        serial -= 4294967296;
    } else if (serial < -2147483648) {
        serial += 4294967296;
    }
    return "SECTION WORLDITEM " + std::to_string(index) + "\r\n{\r\nSERIAL " +
           std::to_string(serial) + "\r\nID " + std::to_string(tileId) +
           "\r\nX " + std::to_string(x) + "\r\nY " + std::to_string(y) + "\r\nZ " +
           std::to_string(z) + "\r\nTYPE 255\r\nCOLOR " + std::to_string(hue) + "\r\n}\r\n";
}

}  // namespace kestrel::test
