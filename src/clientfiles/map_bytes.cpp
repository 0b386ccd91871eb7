#include "clientfiles/map_bytes.h"

#include <algorithm>

#include "clientfiles/byte_source.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/file_bytes.h"
#include "clientfiles/uop_file.h"

namespace kestrel {

MapBytes ReadMapBytes(const std::string& path, std::optional<MapGeometry> size) {
    MapBytes map;
    LargeVector<std::uint8_t> file = ReadLargeFileBytes(path);
    MemorySource source(file.data(), file.size());
    map.detection = DetectMap(source, path);
    if (size) {
        map.detection.match = SizeMatch::Known;
        map.detection.geometry = *size;
        map.detection.candidates.clear();
    }
    if (map.detection.match == SizeMatch::Ambiguous) {
        std::string sizes;
        for (const MapGeometry& candidate : map.detection.candidates) {
            sizes += (sizes.empty() ? "" : " or ") + FormatMapSize(candidate);
        }
        throw ClientFileError(path + ": its length of " + std::to_string(file.size()) +
                              " bytes fits maps of " + sizes +
                              ", and the file name does not tell which");
    }
    if (map.detection.container == MapContainer::Mul) {
        map.bytes = std::move(file);
        return map;
    }
    const UopTable table = UopTable::Read(source, path);
    const UopMapEntries entries = FindUopMapEntries(table, MapNumberFromFileName(path), path);
    map.bytes.resize(static_cast<std::size_t>(entries.bytes));
    std::size_t filled = 0;
    for (const UopEntry& entry : entries.entries) {
        // UopTable::Read checked that every entry's bytes lie inside the file.
        const std::size_t count = entry.compressedSize;
        std::copy_n(file.data() + entry.StoredOffset(), count, map.bytes.data() + filled);
        filled += count;
    }
    return map;
}

}  // namespace kestrel
