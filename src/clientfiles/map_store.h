#pragma once

// A map file in either container, seen through its logical .mul layout: block
// n of the map at byte n * 196, whatever file holds it. A .mul map is that
// layout itself; a mapNLegacyMUL.uop holds it in entries of 4096 blocks,
// which are read and written in place.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "clientfiles/binary_file.h"
#include "clientfiles/file_detection.h"
#include "clientfiles/map_geometry.h"
#include "clientfiles/uop_file.h"

namespace kestrel {

// A byte range of the file that holds a map.
struct PhysicalRange {
    std::uint64_t offset = 0;  // bytes from the start of the file
    std::uint64_t length = 0;  // bytes
    friend bool operator==(const PhysicalRange&, const PhysicalRange&) = default;
};

struct MapStoreOptions {
    // The map's size, instead of the size told from the file.
    std::optional<MapGeometry> geometry;
};

class MapStore {
public:
    MapStore() = default;
    // Brings the checksums of a file still held up to date and closes it,
    // ignoring any failure.
    ~MapStore();
    MapStore(const MapStore&) = delete;
    MapStore& operator=(const MapStore&) = delete;

    // Opens the map at path for reading and writing, held under the lock of
    // BinaryFile. Its size is options.geometry if given, else what the file
    // tells (see DetectMap); a file of no known size is taken as 6144 x 4096.
    // Returns false when the file cannot be opened (missing, denied, open
    // elsewhere), like BinaryFile::Open, without throwing. Throws
    // ClientFileError naming the file for a damaged .uop, a .uop whose map is
    // stored compressed, or a .mul whose length fits two facets when neither
    // options.geometry nor the file name tells which (the file is then not
    // held); FileException when reading the table fails.
    bool Open(const std::string& path, const MapStoreOptions& options = {});

    bool IsOpen() const noexcept { return file.IsOpen(); }
    const std::string& FullPath() const noexcept { return file.FullPath(); }
    MapContainer Container() const noexcept { return container; }
    const MapGeometry& Geometry() const noexcept { return geometry; }
    // The map number of a .uop's entry names, or of the file name.
    std::optional<int> MapNumber() const noexcept { return mapNumber; }

    // The map's logical length in bytes: a .mul's file length (grown by
    // writes past its end), a .uop's map entries' sizes summed.
    std::uint64_t Length() const noexcept { return length; }

    // Reads up to count bytes at logical offset; returns how many were read,
    // fewer only at the end of the map. Throws FileException when the system
    // refuses.
    std::size_t Read(std::uint64_t offset, void* buffer, std::size_t count);

    // Writes count bytes at logical offset. A .mul grows to hold them; in a
    // .uop they must lie inside the map's entries, else FileException (past
    // the end) is thrown before anything is written. Throws FileException
    // when a write fails.
    void Write(std::uint64_t offset, const void* buffer, std::size_t count);

    // Updates the stored Adler-32 of every .uop entry written since the last
    // flush whose stored value is not zero (zero stands for "not kept").
    // Throws FileException when reading or writing fails.
    void Flush();

    // The byte ranges of the underlying file that Write(logicalOffset, ...)
    // of length bytes, and the Flush or Close after it, may change, in file
    // order within each entry: for a .mul the range itself; for a .uop the
    // stored bytes in each entry touched plus the 4-byte Adler-32 field of
    // the entry record of each touched entry whose checksum is kept (not 0).
    // Logical bytes past a .uop map's end are left out (Write refuses them).
    // Never throws.
    std::vector<PhysicalRange> PhysicalRanges(std::uint64_t logicalOffset,
                                              std::uint64_t length) const;

    // The open file that holds the map, e.g. to protect its bytes in a
    // Transaction before writing. Reading or writing it directly bypasses the
    // checksum upkeep of a .uop.
    BinaryFile& File() noexcept { return file; }

    // Flushes and releases the file; it is released even when that fails,
    // which throws FileException.
    void Close();

private:
    void Release() noexcept;

    BinaryFile file;
    MapContainer container = MapContainer::Mul;
    MapGeometry geometry = kClassicGeometry;
    std::optional<int> mapNumber;
    std::uint64_t length = 0;
    // A .uop entry's Adler-32 over its bytes from the start up to `end`, kept
    // while the entry is written front to back (as a copy does), so that the
    // flush need not read those bytes back.
    struct ChecksumPrefix {
        bool valid = true;
        std::uint64_t end = 0;
        unsigned long adler = 1;  // the Adler-32 of no bytes
    };
    void ExtendPrefix(std::size_t index, std::uint64_t within, const std::uint8_t* bytes,
                      std::size_t count);

    std::vector<UopEntry> entries;         // .uop: the map's entries in block order
    std::vector<bool> written;             // .uop: entries written since the last flush
    std::vector<ChecksumPrefix> prefixes;  // .uop: per entry
};

}  // namespace kestrel
