#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clientfiles/large_buffer.h"

namespace kestrel {

// Reads the whole file at path, opened for reading only and without a lock, so
// that a file the game or another program holds open can still be drawn.
// Throws FileException (with the cause the system gave, naming path) when the
// file cannot be opened or read, and std::bad_alloc when it does not fit in
// memory.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// ReadFileBytes into memory of large pages (see LargeBufferAllocator), for
// whole map and statics files: reading 100 MB costs a tenth of the time.
LargeVector<std::uint8_t> ReadLargeFileBytes(const std::string& path);

}  // namespace kestrel
