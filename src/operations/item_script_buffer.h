#pragma once

#include <cstddef>
#include <memory>

#include "clientfiles/binary_file.h"

namespace kestrel {

// Collects world-item sections in memory and writes them to the items script
// in large writes. The bytes that reach the file are exactly those that
// WriteWorldItem would write for the same calls, in the same order.
class ItemScriptBuffer {
public:
    static constexpr std::size_t kDefaultCapacity = std::size_t{256} << 10;

    // items must be open for writing, positioned at the end of what has been
    // written so far. capacity is the buffer's size in bytes, at least 256.
    explicit ItemScriptBuffer(BinaryFile& items, std::size_t capacity = kDefaultCapacity);
    ItemScriptBuffer(const ItemScriptBuffer&) = delete;
    ItemScriptBuffer& operator=(const ItemScriptBuffer&) = delete;

    // Adds the section of WriteWorldItem(items, x, y, z, tileId, hue, index),
    // writing out the buffer first when the section would not fit. Throws
    // FileException (naming the items file) when that write fails.
    void Append(int x, int y, int z, int tileId, int hue, int index);

    // Writes out what the buffer holds, in one write. The buffer is empty
    // afterwards, also when the write fails: what reached the file stays, and
    // nothing is written twice. Throws FileException naming the items file.
    void Flush();

private:
    // The decimal text of a section number and of its serial. Sections are
    // numbered 0, 1, 2, ..., so the texts for the next number are made by
    // counting up in decimal rather than by formatting afresh.
    struct NumberTexts {
        static constexpr int kSize = 16;  // room to copy the texts whole
        char index[kSize] = {};
        char serial[kSize] = {};
        int indexLength = 0;
        int serialLength = 0;
        int number = 0;
        bool valid = false;

        void Format(int value);
        void Advance();
    };

    BinaryFile& items;
    std::size_t capacity;
    std::unique_ptr<char[]> buffer;
    std::size_t used = 0;
    NumberTexts numbers;
};

}  // namespace kestrel
