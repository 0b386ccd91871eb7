#include "clientfiles/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "clientfiles/file_exception.h"

namespace kestrel {

namespace {

[[noreturn]] void Fail(int error, const std::string& path) {
    throw FileException(FileException::CauseFromErrno(error), path);
}

// Closes the descriptor on every way out; a read-only close loses nothing.
struct Descriptor {
    int value = -1;
    ~Descriptor() {
        if (value >= 0) {
            ::close(value);
        }
    }
};

template <typename Bytes>
Bytes ReadWhole(const std::string& path) {
    Descriptor file;
    file.value = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file.value < 0) {
        Fail(errno, path);
    }
    struct stat status {};
    if (::fstat(file.value, &status) != 0) {
        Fail(errno, path);
    }
    if (S_ISDIR(status.st_mode)) {
        Fail(EISDIR, path);
    }
    // One byte more than the file, so that the read that meets its end needs
    // no growth.
    Bytes bytes(static_cast<std::size_t>(status.st_size) + 1);
    std::size_t filled = 0;
    while (true) {
        if (filled == bytes.size()) {
            // The file may have grown since fstat; keep reading until its end.
            bytes.resize(bytes.size() + 65536);
        }
        const ssize_t got = ::read(file.value, bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno, path);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    return ReadWhole<std::vector<std::uint8_t>>(path);
}

LargeVector<std::uint8_t> ReadLargeFileBytes(const std::string& path) {
    return ReadWhole<LargeVector<std::uint8_t>>(path);
}

}  // namespace kestrel
