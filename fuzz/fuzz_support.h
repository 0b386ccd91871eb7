#pragma once

// What the fuzz targets add to the test support library: a scratch directory
// on a memory file system, a check that stops the run loudly, and reading
// numbers out of the input.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrel::fuzz {

// The directory for the files of one input, created once per process under
// /dev/shm (or the temporary directory) and removed at exit.
const std::string& ScratchDirectory();

// Ends the process with a report when condition does not hold, so that the
// fuzzer keeps the input that broke it.
void Check(bool condition, const char* what);

// Reads a little-endian value from input, or 0 past its end.
std::uint32_t TakeU16(const std::uint8_t* data, std::size_t size, std::size_t at);

}  // namespace kestrel::fuzz
