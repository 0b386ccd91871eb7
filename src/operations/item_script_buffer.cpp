#include "operations/item_script_buffer.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "operations/world_item_writer.h"

namespace kestrel {

namespace {

// Fixed text plus seven values of at most 11 characters ("-2147483648").
constexpr std::size_t kLongestSection = 70 + 7 * 11;

template <std::size_t N>
char* Put(char* at, const char (&text)[N]) {
    std::memcpy(at, text, N - 1);
    return at + (N - 1);
}

char* PutNumber(char* at, int value) {
    return std::to_chars(at, at + 11, value).ptr;
}

}  // namespace

ItemScriptBuffer::ItemScriptBuffer(BinaryFile& items, std::size_t capacity)
    : items(items),
      capacity(std::max<std::size_t>(capacity, 256)),
      buffer(new char[this->capacity]) {}

void ItemScriptBuffer::Append(int x, int y, int z, int tileId, int hue, int index) {
    if (capacity - used < kLongestSection) {
        Flush();
    }
    char* at = buffer.get() + used;
    at = Put(at, "SECTION WORLDITEM ");
    at = PutNumber(at, index);
    at = Put(at, "\r\n{\r\nSERIAL ");
    at = PutNumber(at, WorldItemSerial(index));
    at = Put(at, "\r\nID ");
    at = PutNumber(at, tileId);
    at = Put(at, "\r\nX ");
    at = PutNumber(at, x);
    at = Put(at, "\r\nY ");
    at = PutNumber(at, y);
    at = Put(at, "\r\nZ ");
    at = PutNumber(at, z);
    at = Put(at, "\r\nTYPE 255\r\nCOLOR ");
    at = PutNumber(at, hue);
    at = Put(at, "\r\n}\r\n");
    used = static_cast<std::size_t>(at - buffer.get());
}

void ItemScriptBuffer::Flush() {
    const std::size_t pending = used;
    used = 0;
    if (pending > 0) {
        items.Write(buffer.get(), pending);
    }
}

}  // namespace kestrel
