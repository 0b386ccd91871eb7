#pragma once

// What the fuzz targets share: a scratch directory on a memory file system,
// whole-file reads and writes, a user interface that records what it shows,
// and a check that stops the run loudly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "operations/user_interface.h"

namespace kestrel::fuzz {

using Bytes = std::vector<std::uint8_t>;

// The directory for the files of one input, created once per process under
// /dev/shm (or the temporary directory) and removed at exit.
const std::string& ScratchDirectory();

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size);
void WriteFile(const std::string& path, const Bytes& bytes);
void WriteFile(const std::string& path, const std::string& text);
Bytes ReadFile(const std::string& path);

// Records "begin", "end" and "message: TEXT" in order.
class RecordingUi : public UserInterface {
public:
    void BeginBusy() override { events.push_back("begin"); }
    void EndBusy() override { events.push_back("end"); }
    void ShowMessage(const std::string& text, const std::string&) override {
        events.push_back("message: " + text);
    }

    std::vector<std::string> events;
};

// Ends the process with a report when condition does not hold, so that the
// fuzzer keeps the input that broke it.
void Check(bool condition, const char* what);

// Reads a little-endian value from input, or 0 past its end.
std::uint32_t TakeU16(const std::uint8_t* data, std::size_t size, std::size_t at);

}  // namespace kestrel::fuzz
