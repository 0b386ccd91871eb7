#include "oracles/world_item_writer.h"

#include <cstdint>
#include <cstdio>

namespace kestrel {

namespace {

template <class... Values>
void WritePiece(BinaryFile& items, char (&buffer)[64], const char* format, Values... values) {
    const int length = std::snprintf(buffer, sizeof buffer, format, values...);
    items.Write(buffer, static_cast<std::size_t>(length));
}

}  // namespace

void WriteWorldItem(BinaryFile& items, int x, int y, int z, int tileId, int hue, int index,
                    int firstSerial) {
    const auto serial = static_cast<int>(static_cast<std::uint32_t>(index) +
                                         static_cast<std::uint32_t>(firstSerial));
    char buffer[64];
    WritePiece(items, buffer, "SECTION WORLDITEM %i\r\n{\r\n", index);
    WritePiece(items, buffer, "SERIAL %i\r\n", serial);
    WritePiece(items, buffer, "ID %i\r\n", tileId);
    WritePiece(items, buffer, "X %i\r\n", x);
    WritePiece(items, buffer, "Y %i\r\n", y);
    WritePiece(items, buffer, "Z %i\r\n", z);
    WritePiece(items, buffer, "%s", "TYPE 255\r\n");
    WritePiece(items, buffer, "COLOR %i\r\n}\r\n", hue);
}

}  // namespace kestrel
