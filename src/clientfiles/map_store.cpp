#include "clientfiles/map_store.h"

#include <zlib.h>

#include <algorithm>
#include <array>

#include "clientfiles/byte_order.h"
#include "clientfiles/byte_source.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/map_file.h"

namespace kestrel {

namespace {

constexpr std::uint64_t kEntryBytes =
    static_cast<std::uint64_t>(kUopMapBlocksPerEntry) * kMapBlockBytes;
constexpr std::size_t kChecksumChunkBytes = 256 * 1024;
// A write this close after an entry's checksummed prefix pulls the bytes in
// between into the prefix (a copy skips the 4-byte header of the first block
// of each block column).
constexpr std::uint64_t kPrefixGapBytes = 64 * 1024;

std::string DescribeCandidates(const std::vector<MapGeometry>& candidates) {
    std::string text;
    for (std::size_t at = 0; at < candidates.size(); ++at) {
        text += at == 0 ? "" : (at + 1 == candidates.size() ? " and " : ", ");
        text += FormatMapSize(candidates[at]);
        const std::string facet = FacetName(candidates[at], std::nullopt);
        if (!facet.empty()) {
            text += " (" + facet + ")";
        }
    }
    return text;
}

}  // namespace

MapStore::~MapStore() {
    if (file.IsOpen()) {
        try {
            Flush();
        } catch (...) {
            // A destructor cannot report; Close() is the way to learn of it.
        }
    }
}

bool MapStore::Open(const std::string& path, const MapStoreOptions& options) {
    if (file.IsOpen() || !file.Open(path, BinaryFile::Mode::ReadWriteExisting)) {
        return false;
    }
    try {
        BinaryFileSource source(file);
        const std::optional<int> named = MapNumberFromFileName(path);
        entries.clear();
        written.clear();
        prefixes.clear();
        // A file of no length (a pipe or device too) is no .uop: reading it
        // could wait forever.
        if (file.Length() >= sizeof(kUopMagic) && HasUopMagic(source)) {
            const UopTable table = UopTable::Read(source, file.FullPath());
            UopMapEntries map = FindUopMapEntries(table, named, file.FullPath());
            container = MapContainer::Uop;
            mapNumber = map.mapNumber;
            length = map.bytes;
            entries = std::move(map.entries);
            written.assign(entries.size(), false);
            prefixes.assign(entries.size(), ChecksumPrefix{});
        } else {
            container = MapContainer::Mul;
            mapNumber = named;
            length = file.Length();
        }
        if (options.geometry) {
            geometry = *options.geometry;
        } else {
            const FileDetection detection = MatchMulMapSize(length, mapNumber);
            if (detection.match == SizeMatch::Ambiguous) {
                throw ClientFileError(file.FullPath() + ": its length of " +
                                      std::to_string(length) + " bytes fits maps of " +
                                      DescribeCandidates(detection.candidates) +
                                      ", and the file name does not tell which; give the size.");
            }
            geometry = detection.geometry;
        }
    } catch (...) {
        Release();
        throw;
    }
    return true;
}

std::size_t MapStore::Read(std::uint64_t offset, void* buffer, std::size_t count) {
    if (container == MapContainer::Mul) {
        file.Seek(static_cast<std::int64_t>(offset));
        return file.Read(buffer, count);
    }
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t delivered = 0;
    while (delivered < count && offset < length) {
        const UopEntry& entry = entries[static_cast<std::size_t>(offset / kEntryBytes)];
        const std::uint64_t within = offset % kEntryBytes;
        const std::size_t part = static_cast<std::size_t>(
            std::min<std::uint64_t>(count - delivered, entry.compressedSize - within));
        file.Seek(static_cast<std::int64_t>(entry.StoredOffset() + within));
        const std::size_t got = file.Read(bytes + delivered, part);
        delivered += got;
        offset += got;
        if (got < part) {
            break;
        }
    }
    return delivered;
}

void MapStore::Write(std::uint64_t offset, const void* buffer, std::size_t count) {
    if (container == MapContainer::Mul) {
        file.Seek(static_cast<std::int64_t>(offset));
        file.Write(buffer, count);
        length = std::max(length, offset + count);
        return;
    }
    if (offset > length || count > length - offset) {
        throw FileException(FileErrorCause::EndOfFile, file.FullPath());
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const auto index = static_cast<std::size_t>(offset / kEntryBytes);
        const UopEntry& entry = entries[index];
        const std::uint64_t within = offset % kEntryBytes;
        const std::size_t part = static_cast<std::size_t>(
            std::min<std::uint64_t>(count - done, entry.compressedSize - within));
        file.Seek(static_cast<std::int64_t>(entry.StoredOffset() + within));
        written[index] = true;
        if (entry.adler32 == 0) {
            file.Write(bytes + done, part);
        } else {
            ExtendPrefix(index, within, bytes + done, part);
        }
        done += part;
        offset += part;
    }
}

std::vector<PhysicalRange> MapStore::PhysicalRanges(std::uint64_t logicalOffset,
                                                    std::uint64_t count) const {
    std::vector<PhysicalRange> ranges;
    if (count == 0) {
        return ranges;
    }
    if (container == MapContainer::Mul) {
        ranges.push_back({logicalOffset, count});
        return ranges;
    }
    std::uint64_t offset = logicalOffset;
    const std::uint64_t end = std::min(length, logicalOffset + count);
    while (offset < end) {
        const auto index = static_cast<std::size_t>(offset / kEntryBytes);
        const UopEntry& entry = entries[index];
        const std::uint64_t within = offset % kEntryBytes;
        const std::uint64_t part = std::min<std::uint64_t>(end - offset, entry.compressedSize - within);
        ranges.push_back({entry.StoredOffset() + within, part});
        if (entry.adler32 != 0) {
            ranges.push_back({entry.recordOffset + kUopEntryAdlerOffset, sizeof(std::uint32_t)});
        }
        offset += part;
    }
    return ranges;
}

// Writes part bytes at within of entry index (the file is at its place) and
// keeps the entry's checksummed prefix: a write just after it, or a little
// after it, extends it (reading the bytes in between); a write inside it
// spoils it.
void MapStore::ExtendPrefix(std::size_t index, std::uint64_t within, const std::uint8_t* bytes,
                            std::size_t count) {
    ChecksumPrefix& prefix = prefixes[index];
    const bool extends =
        prefix.valid && within >= prefix.end && within - prefix.end <= kPrefixGapBytes;
    if (!extends && within < prefix.end) {
        prefix.valid = false;
    }
    if (!extends) {
        file.Write(bytes, count);
        return;
    }
    if (within > prefix.end) {
        std::vector<std::uint8_t> gap(static_cast<std::size_t>(within - prefix.end));
        file.Seek(static_cast<std::int64_t>(entries[index].StoredOffset() + prefix.end));
        if (file.Read(gap.data(), gap.size()) != gap.size()) {
            throw FileException(FileErrorCause::EndOfFile, file.FullPath());
        }
        prefix.adler = adler32(prefix.adler, gap.data(), static_cast<uInt>(gap.size()));
        prefix.end = within;
        file.Seek(static_cast<std::int64_t>(entries[index].StoredOffset() + within));
    }
    // Spoilt first, so that a write that fails part way leaves no wrong prefix.
    prefix.valid = false;
    file.Write(bytes, count);
    prefix.adler = adler32(prefix.adler, bytes, static_cast<uInt>(count));
    prefix.end = within + count;
    prefix.valid = true;
}

void MapStore::Flush() {
    std::vector<std::uint8_t> chunk;
    for (std::size_t index = 0; index < written.size(); ++index) {
        UopEntry& entry = entries[index];
        if (!written[index] || entry.adler32 == 0) {
            continue;
        }
        ChecksumPrefix& prefix = prefixes[index];
        uLong checksum = prefix.valid ? prefix.adler : adler32(0L, Z_NULL, 0);
        const std::uint64_t from = prefix.valid ? prefix.end : 0;
        if (from < entry.compressedSize) {
            chunk.resize(kChecksumChunkBytes);
        }
        for (std::uint64_t at = from; at < entry.compressedSize;) {
            const std::size_t part = static_cast<std::size_t>(
                std::min<std::uint64_t>(chunk.size(), entry.compressedSize - at));
            file.Seek(static_cast<std::int64_t>(entry.StoredOffset() + at));
            if (file.Read(chunk.data(), part) != part) {
                throw FileException(FileErrorCause::EndOfFile, file.FullPath());
            }
            checksum = adler32(checksum, chunk.data(), static_cast<uInt>(part));
            at += part;
        }
        const auto value = static_cast<std::uint32_t>(checksum);
        if (value != entry.adler32) {
            std::array<std::uint8_t, 4> stored{};
            StoreU32Le(stored.data(), value);
            file.Seek(static_cast<std::int64_t>(entry.recordOffset + kUopEntryAdlerOffset));
            file.Write(stored.data(), stored.size());
            entry.adler32 = value;
        }
        written[index] = false;
        prefix = ChecksumPrefix{};
    }
}

void MapStore::Close() {
    if (!file.IsOpen()) {
        return;
    }
    try {
        Flush();
    } catch (...) {
        Release();
        throw;
    }
    file.Close();
}

void MapStore::Release() noexcept {
    try {
        file.Close();
    } catch (...) {
        // The failure being reported matters more than this one.
    }
}

}  // namespace kestrel
