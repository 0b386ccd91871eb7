#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "clientfiles/binary_file.h"
#include "operations/copy_settings.h"

namespace kestrel {

// The serial of the section with the given index: firstSerial + index in
// 32-bit arithmetic that wraps around.
int WorldItemSerial(int index, int firstSerial = kDefaultFirstSerial);

// Collects world-item sections in memory and writes them to the items script
// in large writes. Each section is ten CR LF-terminated lines,
//   SECTION WORLDITEM <index> / { / SERIAL <WorldItemSerial(index, firstSerial)> /
//   ID <tileId> / X <x> / Y <y> / Z <z> / TYPE 255 / COLOR <hue> / }
// with the values in plain signed decimal. The sections reach the file in the
// order they were appended, up to the first failed write; nothing is written
// after it.
//
// Two buffers take turns: while a full one is written out by a helper thread
// (started at the first full buffer; where none can be started, the caller
// writes), the caller fills the other, so that formatting and writing overlap. The helper touches
// nothing but the file and the buffer it was given, and is joined before the object goes.
class ItemScriptBuffer {
public:
    static constexpr std::size_t kDefaultCapacity = std::size_t{512} << 10;

    // items must be open for writing, positioned at the end of what has been
    // written so far, and is written only through this object until Flush
    // returns or the object is destroyed. capacity is the size of each of the
    // two buffers in bytes, at least 256. Section k gets the serial
    // WorldItemSerial(k, firstSerial).
    explicit ItemScriptBuffer(BinaryFile& items, std::size_t capacity = kDefaultCapacity,
                              int firstSerial = kDefaultFirstSerial);
    // Waits for a write in progress; writes out nothing else.
    ~ItemScriptBuffer();
    ItemScriptBuffer(const ItemScriptBuffer&) = delete;
    ItemScriptBuffer& operator=(const ItemScriptBuffer&) = delete;

    // Adds the section of the item at (x, y, z) with the given tile, hue and
    // section number.
    // When the buffer is full it goes to the file first. Throws FileException
    // (naming the items file) when a write has failed; the sections not yet
    // written are then dropped.
    void Append(int x, int y, int z, int tileId, int hue, int index);

    // Writes out everything appended and waits until it is in the file.
    // Throws FileException naming the items file when a write has failed; what
    // reached the file stays, and the rest is dropped. After a failure has
    // been thrown once, nothing more is written and Flush returns quietly.
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
        int serialNumber = 0;
        bool valid = false;

        void Format(int value, int firstSerial);
        [[gnu::always_inline]] inline void Advance();
    };

    // Gives the filled buffer to the writer and goes on with the other one.
    void HandOff();
    // Waits until the writer is idle; throws its failure, once.
    void WaitForWriter();
    void WriterLoop();

    BinaryFile& items;
    std::size_t capacity;
    int firstSerial;
    std::unique_ptr<char[]> buffers[2];
    int filling = 0;  // the buffer being filled
    std::size_t used = 0;
    NumberTexts numbers;
    bool broken = false;       // a write has failed and that has been thrown
    bool writeInline = false;  // no helper thread could be started

    std::thread writer;
    std::mutex mutex;
    std::condition_variable changed;
    const char* pending = nullptr;  // handed to the writer, not yet written
    std::size_t pendingSize = 0;
    bool stopping = false;
    std::exception_ptr failure;
};

}  // namespace kestrel
