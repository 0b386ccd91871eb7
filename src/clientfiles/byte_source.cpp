#include "clientfiles/byte_source.h"

#include <algorithm>
#include <cstring>

#include "clientfiles/binary_file.h"
#include "clientfiles/file_exception.h"

namespace kestrel {

std::uint64_t BinaryFileSource::Length() {
    return file.Length();
}

std::size_t BinaryFileSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    file.Seek(static_cast<std::int64_t>(offset));
    return file.Read(buffer, count);
}

std::size_t MemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    if (offset >= size || count == 0) {
        return 0;
    }
    const std::size_t available =
        std::min<std::size_t>(count, size - static_cast<std::size_t>(offset));
    std::memcpy(buffer, data + offset, available);
    return available;
}

ReadOnlyFileSource::ReadOnlyFileSource(const std::string& path)
    : path(path), stream(path, std::ios::binary) {}

std::uint64_t ReadOnlyFileSource::Length() {
    stream.clear();
    stream.seekg(0, std::ios::end);
    const std::streamoff end = stream.tellg();
    if (end < 0) {
        throw FileException(FileErrorCause::BadSeek, path);
    }
    return static_cast<std::uint64_t>(end);
}

std::size_t ReadOnlyFileSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    stream.clear();
    stream.seekg(static_cast<std::streamoff>(offset));
    if (!stream) {
        throw FileException(FileErrorCause::BadSeek, path);
    }
    stream.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
    if (stream.bad()) {
        throw FileException(FileErrorCause::HardIo, path);
    }
    return static_cast<std::size_t>(stream.gcount());
}

}  // namespace kestrel
