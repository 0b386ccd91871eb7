#pragma once

// Positioned reads from a file or a buffer, so that the parsers of the client
// files run the same over a locked BinaryFile, a file opened only for
// reading, and bytes in memory (the fuzz targets).

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace kestrel {

class BinaryFile;

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // The length in bytes. Throws FileException when the system refuses.
    virtual std::uint64_t Length() = 0;

    // Reads up to count bytes at offset into buffer; returns how many were
    // read, fewer only at the end. Throws FileException when the system
    // refuses.
    virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
};

// Reads through an open BinaryFile (moving its position).
class BinaryFileSource : public ByteSource {
public:
    explicit BinaryFileSource(BinaryFile& file) : file(file) {}
    std::uint64_t Length() override;
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    BinaryFile& file;
};

// Bytes in memory, which must outlive the source.
class MemorySource : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    std::uint64_t Length() override { return size; }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    const std::uint8_t* data;
    std::size_t size;
};

// A file opened only for reading, without the lock of BinaryFile: for looking
// at a file (its size, its table) that may be read-only or in use elsewhere.
class ReadOnlyFileSource : public ByteSource {
public:
    // Opens path; IsOpen() tells whether that worked.
    explicit ReadOnlyFileSource(const std::string& path);
    bool IsOpen() const { return stream.is_open(); }
    std::uint64_t Length() override;
    // Throws FileException (hardware error) when a read fails before the end.
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    std::string path;
    std::ifstream stream;
};

}  // namespace kestrel
