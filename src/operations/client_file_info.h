#pragma once

// What a client data file is, for "kestrel-cli info": a map (.mul or .uop),
// a statics index or statics data, of which size and facet.

#include <cstdint>
#include <optional>
#include <string>

#include "clientfiles/file_detection.h"
#include "clientfiles/map_geometry.h"

namespace kestrel {

enum class ClientFileKind { Map, StaticsIndex, StaticsData };

struct ClientFileDescription {
    std::string path;  // as given
    ClientFileKind kind = ClientFileKind::Map;
    MapContainer container = MapContainer::Mul;
    std::uint64_t fileBytes = 0;
    // Map and statics index: the size told from the file (match Known or
    // Ambiguous; for Ambiguous, detection.candidates lists the sizes).
    FileDetection detection;
    std::string facet;  // empty when the size is no facet's
    // Statics: the items counted. For an index, those its entries list (bad
    // entries counted apart when the statics data beside it is shorter); for
    // data, its 7-byte records.
    std::uint64_t staticItems = 0;
    std::uint64_t staticBlocks = 0;      // index: blocks with items
    std::uint64_t badStaticEntries = 0;  // index: entries past the end of the data
    bool checkedAgainstData = false;     // index: a statics data file was found beside it
    std::uint64_t trailingBytes = 0;     // data: bytes after the last whole record
};

// Looks at the file at path (without locking or changing it) and says what it
// is: a .uop by its magic; else by its name (mapN, staidxN, staticsN, any
// case); else a map or statics index by its length. Throws ClientFileError
// with a message naming path when the file is missing, not a regular file,
// a damaged .uop, or of a length no known map or statics index has;
// FileException when reading fails.
ClientFileDescription DescribeClientFile(const std::string& path);

// One line (without newline) for a description, e.g.
// "map2.mul: map, .mul, 2304 x 1600, Ilshenar".
std::string FormatClientFileDescription(const ClientFileDescription& description);

}  // namespace kestrel
