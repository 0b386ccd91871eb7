#pragma once

// Spreads drawing work over the two cores the tool is expected to have.

#include <cstdint>
#include <thread>

namespace kestrel {

// Work smaller than this many pixels stays on the calling thread: starting a
// thread costs more than it saves.
inline constexpr std::int64_t kThreadedPixels = std::int64_t{1} << 18;

// Runs work(firstRow, endRow) over rows 0 .. rows - 1, in two halves on two
// threads when pixels (the work's size) is large enough to pay for the second
// one. work must be safe to run on two disjoint ranges at once.
template <typename Work>
void SplitRows(int rows, std::int64_t pixels, const Work& work) {
    if (pixels < kThreadedPixels || rows < 2) {
        work(0, rows);
        return;
    }
    const int middle = rows / 2;
    std::thread helper([&] { work(middle, rows); });
    work(0, middle);
    helper.join();
}

}  // namespace kestrel
