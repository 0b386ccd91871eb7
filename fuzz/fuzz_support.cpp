#include "fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

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

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    Check(fd >= 0, "cannot create a scratch file");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, data + done, size - done);
        Check(put > 0, "cannot write a scratch file");
        done += static_cast<std::size_t>(put);
    }
    ::close(fd);
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    WriteFile(path, bytes.data(), bytes.size());
}

void WriteFile(const std::string& path, const std::string& text) {
    WriteFile(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

Bytes ReadFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    Check(fd >= 0, "cannot open a scratch file");
    Bytes bytes;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        Check(got >= 0, "cannot read a scratch file");
        if (got == 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    ::close(fd);
    return bytes;
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
