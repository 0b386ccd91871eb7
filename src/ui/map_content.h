#pragma once

// What a map view draws: a map read whole into memory, drawn once into an
// overview, and for the destination the copy's result laid over it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clientfiles/large_buffer.h"
#include "clientfiles/map_cells.h"
#include "clientfiles/static_blocks.h"
#include "operations/copy_preview_cells.h"
#include "operations/copy_settings.h"
#include "operations/map_colors.h"
#include "operations/map_overview.h"
#include "operations/map_painter.h"

namespace kestrel {

// A map file's cells (and, for a source, its statics) held in memory, with
// the colours it is drawn in: the radarcol.mul beside the map, else the
// built-in palette.
struct LoadedMap {
    std::string path;
    MapGeometry geometry;
    // Large and about to be read over: left unset until read, in large pages.
    LargeVector<std::uint8_t> mapBytes;
    LargeVector<std::uint8_t> indexBytes;
    LargeVector<std::uint8_t> dataBytes;
    std::unique_ptr<MapColors> colors;
    std::unique_ptr<MulMapCells> cells;
    std::unique_ptr<MulStaticBlocks> statics;  // null without statics
};

// Reads the map at mapPath (a .mul or a .uop, through MapStore) and, when
// both paths are given, its statics. Throws FileException or ClientFileError
// naming the file that cannot be read.
std::shared_ptr<const LoadedMap> LoadMap(const std::string& mapPath,
                                         const std::string& indexPath = {},
                                         const std::string& dataPath = {});

// A map drawn for a view: a source map as it is, or a destination as the copy
// of settings from source will leave it. Repainting the destination after a
// change of settings redraws only the cells whose look changed.
class MapContent {
public:
    // The source map drawn as it is.
    explicit MapContent(std::shared_ptr<const LoadedMap> map);
    // The destination dest as the copy of settings from source leaves it.
    MapContent(std::shared_ptr<const LoadedMap> dest, std::shared_ptr<const LoadedMap> source,
               const CopySettings& settings);

    const MapOverview& Overview() const { return *overview; }
    MapGeometry Geometry() const { return map->geometry; }
    const LoadedMap* Source() const { return source.get(); }

    // The cell (x, y) as drawn, inside the map.
    MapCell CellAt(int x, int y) const;

    // The destination cells the copy writes (empty for a source, or when the
    // copy writes none).
    CellRect PastedRegion() const;

    // Redraws a destination for the copy of settings. Returns whether
    // anything changed.
    bool Update(const CopySettings& settings);

private:
    std::shared_ptr<const LoadedMap> map;
    std::shared_ptr<const LoadedMap> source;
    CopySettings settings;
    std::unique_ptr<CopyPreviewCells> preview;
    std::unique_ptr<MapOverview> overview;
};

}  // namespace kestrel
