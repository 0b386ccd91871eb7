#include "fuzz_support.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kestrel::fuzz {

namespace {

std::string MakeScratchDirectory() {
    namespace fs = std::filesystem;
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "kestrel-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("kestrel fuzz: mkdtemp");
        std::abort();
    }
    // The map copy keeps rollback journals; they belong to the scratch
    // directory, not to the user's state directory.
    ::setenv("XDG_STATE_HOME", (pattern + "/state").c_str(), 1);
    return pattern;
}

// Never destroyed, so that it outlives the exit handler that removes it.
std::string& Directory() {
    static std::string* directory = new std::string(MakeScratchDirectory());
    return *directory;
}

void RemoveScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(Directory(), ignored);
}

}  // namespace

const std::string& ScratchDirectory() {
    static const bool registered = std::atexit(RemoveScratchDirectory) == 0;
    (void)registered;
    return Directory();
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "kestrel fuzz check failed: %s\n", what);
        std::abort();
    }
}

std::uint32_t TakeU16(const std::uint8_t* data, std::size_t size, std::size_t at) {
    const std::uint32_t low = at < size ? data[at] : 0u;
    const std::uint32_t high = at + 1 < size ? data[at + 1] : 0u;
    return low | (high << 8);
}

}  // namespace kestrel::fuzz
