#pragma once

// What size of map a map file or statics index holds, told from the file
// itself: the UOP table of a .uop map, the length of a .mul file, and the map
// number in the file's name where two facets have files of the same length.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clientfiles/byte_source.h"
#include "clientfiles/map_geometry.h"

namespace kestrel {

enum class MapContainer { Mul, Uop };

enum class SizeMatch {
    Known,      // the size of one facet's map
    Ambiguous,  // the size of two facets' maps, and the file name tells neither
    Unknown,    // the size of no facet's map
    Missing,    // no such file
};

struct FileDetection {
    SizeMatch match = SizeMatch::Unknown;
    // The size found; kClassicGeometry unless match is Known, so that a file
    // of no known size is taken as the maps of older clients were.
    MapGeometry geometry = kClassicGeometry;
    std::vector<MapGeometry> candidates;  // the sizes it may be, when Ambiguous
    // The map number: of the entry names in a .uop, else from the file name.
    std::optional<int> mapNumber;
    MapContainer container = MapContainer::Mul;
    std::uint64_t bytes = 0;               // the map's (or index's) bytes; for a .uop, its entries'
    std::size_t uopEntries = 0;            // .uop: all entries with data
    std::size_t uopMapEntries = 0;         // .uop: entries of the map
    std::size_t uopCompressedEntries = 0;  // .uop: entries stored compressed (none of the map's)
};

// The map number a client file's name carries: N of "mapN...", "staidxN..."
// and "staticsN..." (any case) in the last component of path.
std::optional<int> MapNumberFromFileName(std::string_view path);

// "WxH" (also "W×H" with the multiplication sign, or "WXH"): width and height
// as positive multiples of 8 up to 16384. nullopt for anything else.
std::optional<MapGeometry> ParseMapSize(std::string_view text);

// "7168x4096".
std::string FormatMapSize(const MapGeometry& geometry);

// The facet a map of this size and number is: the name of facet mapNumber
// when its current size is geometry; otherwise the facets of that size
// ("Felucca or Trammel"), "Felucca or Trammel (older clients)" for
// 6144 x 4096; empty for a size no facet has.
std::string FacetName(const MapGeometry& geometry, std::optional<int> mapNumber);

// The bytes of a .mul map and of a statics index of geometry.
std::uint64_t MulMapBytes(const MapGeometry& geometry);
std::uint64_t StaticsIndexBytes(const MapGeometry& geometry);

// The geometry of a .mul map of bytes bytes (one 196-byte block more is
// accepted too); mapNumber decides between facets of the same length.
FileDetection MatchMulMapSize(std::uint64_t bytes, std::optional<int> mapNumber);
// The geometry of a statics index of bytes bytes (12 per map block).
FileDetection MatchStaticsIndexSize(std::uint64_t bytes, std::optional<int> mapNumber);

// Tells the map in path: a .uop by its magic and table, else a .mul by its
// length. Reads without locking the file. A missing file gives Missing.
// Throws ClientFileError naming path for a damaged .uop or a .uop whose map
// is stored compressed; FileException when reading fails.
FileDetection DetectMap(const std::string& path);
// The same over an open source; path gives the name for messages and the map
// number.
FileDetection DetectMap(ByteSource& source, const std::string& path);

// Tells the statics index in path by its length. A missing file gives Missing.
FileDetection DetectStaticsIndex(const std::string& path);

// The items a statics pair holds: every index entry with statics (lookup not
// -1 and a length) counts its records; entries whose records reach past the
// end of the data (or lie before its start) count as bad instead.
struct StaticItemCount {
    std::uint64_t items = 0;
    std::uint64_t blocksWithItems = 0;
    std::uint64_t badEntries = 0;
};

// Counts over the first geometry.BlockCount() entries of index (fewer if the
// index is shorter) against a data file of dataBytes bytes. Throws
// FileException when reading fails.
StaticItemCount CountStaticItems(ByteSource& index, const MapGeometry& geometry,
                                 std::uint64_t dataBytes);

}  // namespace kestrel
