#include "operations/item_script_buffer.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace kestrel {

namespace {

// Fixed text plus seven values of at most 11 characters ("-2147483648"), and
// room for the whole-array copies of the section number texts.
constexpr std::size_t kLongestSection = 70 + 7 * 11 + 16;

// Texts of non-negative numbers below this count up without a change of sign
// or length beyond what CountUp handles.
constexpr int kLastCountingNumber = INT_MAX;

template <std::size_t N>
char* Put(char* at, const char (&text)[N]) {
    std::memcpy(at, text, N - 1);
    return at + (N - 1);
}

// "00" to "99".
constexpr auto kDigitPairs = [] {
    struct Pairs {
        char text[200];
    } pairs{};
    for (int value = 0; value < 100; ++value) {
        pairs.text[2 * value] = static_cast<char>('0' + value / 10);
        pairs.text[2 * value + 1] = static_cast<char>('0' + value % 10);
    }
    return pairs;
}();

[[gnu::always_inline]] inline char* PutPair(char* at, unsigned value) {
    std::memcpy(at, kDigitPairs.text + 2 * value, 2);
    return at + 2;
}

// Signed decimal, as "%i" writes it. Values of up to five digits, which are
// nearly all of them, take a short path.
[[gnu::always_inline]] inline char* PutNumber(char* at, int value) {
    if (value < 0 || value >= 100000) {
        return std::to_chars(at, at + 11, value).ptr;
    }
    auto digits = static_cast<unsigned>(value);
    if (digits < 100) {
        if (digits < 10) {
            *at = static_cast<char>('0' + digits);
            return at + 1;
        }
        return PutPair(at, digits);
    }
    if (digits >= 10000) {
        *at++ = static_cast<char>('0' + digits / 10000);
        digits %= 10000;
        at = PutPair(at, digits / 100);
        return PutPair(at, digits % 100);
    }
    if (digits >= 1000) {
        at = PutPair(at, digits / 100);
        return PutPair(at, digits % 100);
    }
    *at++ = static_cast<char>('0' + digits / 100);
    return PutPair(at, digits % 100);
}

// Counts a decimal text of non-negative digits up by one.
void CountUp(char* text, int& length) {
    int at = length - 1;
    while (at >= 0 && text[at] == '9') {
        text[at] = '0';
        --at;
    }
    if (at >= 0) {
        ++text[at];
        return;
    }
    std::memmove(text + 1, text, static_cast<std::size_t>(length));
    text[0] = '1';
    ++length;
}

}  // namespace

int WorldItemSerial(int index, int firstSerial) {
    return static_cast<int>(static_cast<std::uint32_t>(index) +
                            static_cast<std::uint32_t>(firstSerial));
}

void ItemScriptBuffer::NumberTexts::Format(int value, int firstSerial) {
    number = value;
    serialNumber = WorldItemSerial(value, firstSerial);
    indexLength = static_cast<int>(std::to_chars(index, index + kSize, value).ptr - index);
    serialLength =
        static_cast<int>(std::to_chars(serial, serial + kSize, serialNumber).ptr - serial);
    valid = true;
}

inline void ItemScriptBuffer::NumberTexts::Advance() {
    if (number < 0 || number >= kLastCountingNumber || serialNumber < 0 ||
        serialNumber >= kLastCountingNumber) {
        valid = false;
        return;
    }
    ++number;
    ++serialNumber;
    CountUp(index, indexLength);
    CountUp(serial, serialLength);
}

ItemScriptBuffer::ItemScriptBuffer(BinaryFile& items, std::size_t capacity, int firstSerial)
    : items(items), capacity(std::max<std::size_t>(capacity, 256)), firstSerial(firstSerial) {
    for (std::unique_ptr<char[]>& buffer : buffers) {
        buffer = std::make_unique_for_overwrite<char[]>(this->capacity);
    }
}

ItemScriptBuffer::~ItemScriptBuffer() {
    if (writer.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        writer.join();
    }
}

void ItemScriptBuffer::Append(int x, int y, int z, int tileId, int hue, int index) {
    if (capacity - used < kLongestSection) {
        HandOff();
    }
    if (!numbers.valid || numbers.number != index) {
        numbers.Format(index, firstSerial);
    }
    char* const start = buffers[filling].get();
    char* at = start + used;
    at = Put(at, "SECTION WORLDITEM ");
    std::memcpy(at, numbers.index, NumberTexts::kSize);
    at += numbers.indexLength;
    at = Put(at, "\r\n{\r\nSERIAL ");
    std::memcpy(at, numbers.serial, NumberTexts::kSize);
    at += numbers.serialLength;
    at = Put(at, "\r\nID ");
    at = PutNumber(at, tileId);
    at = Put(at, "\r\nX ");
    at = PutNumber(at, x);
    at = Put(at, "\r\nY ");
    at = PutNumber(at, y);
    at = Put(at, "\r\nZ ");
    if (z < 0 && z > -100000) {
        *at++ = '-';
        z = -z;
    }
    at = PutNumber(at, z);
    at = Put(at, "\r\nTYPE 255\r\nCOLOR ");
    at = PutNumber(at, hue);
    at = Put(at, "\r\n}\r\n");
    used = static_cast<std::size_t>(at - start);
    numbers.Advance();
}

void ItemScriptBuffer::HandOff() {
    const std::size_t size = used;
    used = 0;
    WaitForWriter();
    if (broken || size == 0) {
        return;
    }
    if (!writer.joinable() && !writeInline) {
        try {
            writer = std::thread([this] { WriterLoop(); });
        } catch (const std::system_error&) {
            // No thread to be had: the buffers are written by the caller.
            writeInline = true;
        }
    }
    if (writeInline) {
        try {
            items.Write(buffers[filling].get(), size);
        } catch (...) {
            broken = true;
            throw;
        }
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending = buffers[filling].get();
        pendingSize = size;
    }
    changed.notify_all();
    filling = 1 - filling;
}

void ItemScriptBuffer::Flush() {
    HandOff();
    WaitForWriter();
}

void ItemScriptBuffer::WaitForWriter() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return pending == nullptr; });
    if (failure) {
        broken = true;
        std::exception_ptr thrown = std::move(failure);
        failure = nullptr;
        lock.unlock();
        std::rethrow_exception(thrown);
    }
}

void ItemScriptBuffer::WriterLoop() {
    std::unique_lock<std::mutex> lock(mutex);
    while (true) {
        changed.wait(lock, [this] { return pending != nullptr || stopping; });
        if (pending == nullptr) {
            return;
        }
        const char* data = pending;
        const std::size_t size = pendingSize;
        lock.unlock();
        std::exception_ptr caught;
        try {
            items.Write(data, size);
        } catch (...) {
            caught = std::current_exception();
        }
        lock.lock();
        failure = caught;
        pending = nullptr;
        changed.notify_all();
    }
}

}  // namespace kestrel
