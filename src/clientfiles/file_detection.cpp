#include "clientfiles/file_detection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "clientfiles/map_file.h"
#include "clientfiles/statics_file.h"
#include "clientfiles/uop_file.h"

namespace kestrel {

namespace {

constexpr int kLargestMapSide = 16384;

// Every map size a file can be told by: the facets of current clients and
// the Felucca and Trammel of older ones.
struct KnownSize {
    MapGeometry geometry;
    int firstMap;  // the map numbers of that size
    int lastMap;
};

constexpr std::array<KnownSize, 6> kKnownSizes = {{
    {kClassicGeometry, 0, 1},
    {{7168, 4096}, 0, 1},
    {{2304, 1600}, 2, 2},
    {{2560, 2048}, 3, 3},
    {{1448, 1448}, 4, 4},
    {{1280, 4096}, 5, 5},
}};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::optional<int> ParseSide(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value <= 0 ||
        value > kLargestMapSide || value % kCellsPerBlockSide != 0) {
        return std::nullopt;
    }
    return value;
}

// Matches bytes against every known size, where bytesOf gives a size's
// length and extra an additional length that is accepted too.
template <typename BytesOf>
FileDetection MatchSize(std::uint64_t bytes, std::optional<int> mapNumber, BytesOf bytesOf,
                        std::uint64_t extra) {
    FileDetection detection;
    detection.bytes = bytes;
    detection.mapNumber = mapNumber;
    std::vector<const KnownSize*> matches;
    for (const KnownSize& size : kKnownSizes) {
        const std::uint64_t expected = bytesOf(size.geometry);
        if (bytes == expected || (extra != 0 && bytes == expected + extra)) {
            matches.push_back(&size);
        }
    }
    if (matches.empty()) {
        detection.match = SizeMatch::Unknown;
        return detection;
    }
    if (matches.size() > 1 && mapNumber) {
        // The map number in the name decides between the facets of one length.
        std::vector<const KnownSize*> named = matches;
        std::erase_if(named, [&](const KnownSize* size) {
            return *mapNumber < size->firstMap || *mapNumber > size->lastMap;
        });
        if (named.size() == 1) {
            matches = named;
        }
    }
    if (matches.size() == 1) {
        detection.match = SizeMatch::Known;
        detection.geometry = matches.front()->geometry;
    } else {
        detection.match = SizeMatch::Ambiguous;
        for (const KnownSize* size : matches) {
            detection.candidates.push_back(size->geometry);
        }
    }
    return detection;
}

bool IsMissing(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return status.type() == std::filesystem::file_type::not_found;
}

}  // namespace

std::optional<int> MapNumberFromFileName(std::string_view path) {
    const std::string name = Lower(std::filesystem::path(path).filename().string());
    for (std::string_view prefix : {"map", "staidx", "statics"}) {
        if (!name.starts_with(prefix)) {
            continue;
        }
        std::size_t end = prefix.size();
        while (end < name.size() && end < prefix.size() + 3 &&
               std::isdigit(static_cast<unsigned char>(name[end]))) {
            ++end;
        }
        if (end == prefix.size()) {
            return std::nullopt;
        }
        int number = 0;
        std::from_chars(name.data() + prefix.size(), name.data() + end, number);
        return number;
    }
    return std::nullopt;
}

std::optional<MapGeometry> ParseMapSize(std::string_view text) {
    for (std::string_view separator : {"x", "X", "\u00D7"}) {
        const std::size_t at = text.find(separator);
        if (at == std::string_view::npos) {
            continue;
        }
        const std::optional<int> width = ParseSide(text.substr(0, at));
        const std::optional<int> height = ParseSide(text.substr(at + separator.size()));
        if (width && height) {
            return MapGeometry{*width, *height};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::string FormatMapSize(const MapGeometry& geometry) {
    return std::to_string(geometry.width) + "x" + std::to_string(geometry.height);
}

std::string FacetName(const MapGeometry& geometry, std::optional<int> mapNumber) {
    std::string names;
    for (const Facet& facet : kFacets) {
        if (facet.geometry != geometry) {
            continue;
        }
        if (mapNumber == facet.mapNumber) {
            return std::string(facet.name);
        }
        names += (names.empty() ? "" : " or ") + std::string(facet.name);
    }
    if (names.empty() && geometry == kClassicGeometry) {
        if (mapNumber == 0 || mapNumber == 1) {
            return std::string(kFacets[*mapNumber].name) + " (older clients)";
        }
        return "Felucca or Trammel (older clients)";
    }
    return names;
}

std::uint64_t MulMapBytes(const MapGeometry& geometry) {
    return static_cast<std::uint64_t>(geometry.BlockCount()) * kMapBlockBytes;
}

std::uint64_t StaticsIndexBytes(const MapGeometry& geometry) {
    return static_cast<std::uint64_t>(geometry.BlockCount()) * kStaticIndexEntryBytes;
}

FileDetection MatchMulMapSize(std::uint64_t bytes, std::optional<int> mapNumber) {
    return MatchSize(bytes, mapNumber, MulMapBytes, kMapBlockBytes);
}

FileDetection MatchStaticsIndexSize(std::uint64_t bytes, std::optional<int> mapNumber) {
    return MatchSize(bytes, mapNumber, StaticsIndexBytes, 0);
}

FileDetection DetectMap(ByteSource& source, const std::string& path) {
    const std::optional<int> named = MapNumberFromFileName(path);
    if (!HasUopMagic(source)) {
        return MatchMulMapSize(source.Length(), named);
    }
    const UopTable table = UopTable::Read(source, path);
    const UopMapEntries map = FindUopMapEntries(table, named, path);
    FileDetection detection = MatchMulMapSize(map.bytes, map.mapNumber);
    detection.container = MapContainer::Uop;
    detection.uopEntries = table.Entries().size();
    detection.uopMapEntries = map.entries.size();
    detection.uopCompressedEntries = static_cast<std::size_t>(
        std::count_if(table.Entries().begin(), table.Entries().end(),
                      [](const UopEntry& entry) { return entry.flag != kUopStored; }));
    return detection;
}

FileDetection DetectMap(const std::string& path) {
    // Only a regular file is read: opening a pipe to read would wait for a
    // writer, and a device tells no size.
    std::error_code notRegular;
    if (!std::filesystem::is_regular_file(path, notRegular)) {
        FileDetection detection;
        detection.match = IsMissing(path) ? SizeMatch::Missing : SizeMatch::Unknown;
        detection.mapNumber = MapNumberFromFileName(path);
        return detection;
    }
    ReadOnlyFileSource source(path);
    if (!source.IsOpen() || IsMissing(path)) {
        FileDetection detection;
        detection.match = IsMissing(path) ? SizeMatch::Missing : SizeMatch::Unknown;
        detection.mapNumber = MapNumberFromFileName(path);
        return detection;
    }
    return DetectMap(source, path);
}

FileDetection DetectStaticsIndex(const std::string& path) {
    const std::optional<int> named = MapNumberFromFileName(path);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        FileDetection detection;
        detection.match = IsMissing(path) ? SizeMatch::Missing : SizeMatch::Unknown;
        detection.mapNumber = named;
        return detection;
    }
    return MatchStaticsIndexSize(size, named);
}

StaticItemCount CountStaticItems(ByteSource& index, const MapGeometry& geometry,
                                 std::uint64_t dataBytes) {
    constexpr std::size_t kEntriesPerRead = 4096;
    std::vector<std::uint8_t> entries(kEntriesPerRead * kStaticIndexEntryBytes);
    StaticItemCount count;
    const auto total = static_cast<std::uint64_t>(geometry.BlockCount());
    for (std::uint64_t first = 0; first < total; first += kEntriesPerRead) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(kEntriesPerRead, total - first)) *
            kStaticIndexEntryBytes;
        const std::size_t got =
            index.ReadAt(first * kStaticIndexEntryBytes, entries.data(), wanted);
        for (std::size_t at = 0; at + kStaticIndexEntryBytes <= got; at += kStaticIndexEntryBytes) {
            const StaticIndexEntry entry = DecodeStaticIndexEntry(&entries[at]);
            if (entry.lookup == kNoStatics || entry.length == 0) {
                continue;
            }
            const std::uint64_t records = StaticRecordCount(entry.length);
            if (entry.lookup < 0 ||
                static_cast<std::uint64_t>(entry.lookup) + records * kStaticRecordBytes >
                    dataBytes) {
                ++count.badEntries;
                continue;
            }
            count.items += records;
            ++count.blocksWithItems;
        }
        if (got < wanted) {
            break;
        }
    }
    return count;
}

}  // namespace kestrel
