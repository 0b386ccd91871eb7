#include "ui/map_content.h"

#include <algorithm>
#include <future>
#include <tuple>
#include <utility>

#include "clientfiles/file_bytes.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/map_store.h"
#include "clientfiles/radar_colors.h"

namespace kestrel {

namespace {

std::unique_ptr<MapColors> ColorsBeside(const std::string& mapPath) {
    try {
        return std::make_unique<MapColors>(ColorsForMap(mapPath).colors);
    } catch (const FileException&) {
        // An unreadable radarcol.mul only costs the true colours.
        return std::make_unique<MapColors>();
    }
}

CellRect Union(CellRect a, CellRect b) {
    if (a.IsEmpty()) {
        return b;
    }
    if (b.IsEmpty()) {
        return a;
    }
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    const int right = std::max(a.x + a.width, b.x + b.width);
    const int bottom = std::max(a.y + a.height, b.y + b.height);
    return {left, top, right - left, bottom - top};
}

bool SamePlacement(const CopySettings& a, const CopySettings& b) {
    return a.minX == b.minX && a.maxX == b.maxX && a.minY == b.minY && a.maxY == b.maxY &&
           a.offX == b.offX && a.offY == b.offY && a.offZ == b.offZ;
}

}  // namespace

std::shared_ptr<const LoadedMap> LoadMap(const std::string& mapPath, const std::string& indexPath,
                                         const std::string& dataPath) {
    auto loaded = std::make_shared<LoadedMap>();
    loaded->path = mapPath;
    // The statics are read beside the map, on a thread of their own.
    const bool withStatics = !indexPath.empty() && !dataPath.empty();
    std::future<std::pair<LargeVector<std::uint8_t>, LargeVector<std::uint8_t>>> statics;
    if (withStatics) {
        statics = std::async(std::launch::async, [indexPath, dataPath] {
            return std::pair{ReadLargeFileBytes(indexPath), ReadLargeFileBytes(dataPath)};
        });
    }
    // Read-only under a shared lock: a map the user may only read can be
    // viewed, and two views of one map (a copy within it) read at once.
    MapStore store;
    MapStoreOptions readOnly;
    readOnly.readOnly = true;
    if (!store.Open(mapPath, readOnly)) {
        // MapStore only says that the file could not be opened; reading it
        // without a lock tells why.
        (void)ReadFileBytes(mapPath);
        throw FileException(FileErrorCause::Generic, mapPath);
    }
    loaded->geometry = store.Geometry();
    loaded->mapBytes.resize(static_cast<std::size_t>(store.Length()));
    loaded->mapBytes.resize(store.Read(0, loaded->mapBytes.data(), loaded->mapBytes.size()));
    store.Close();
    if (withStatics) {
        std::tie(loaded->indexBytes, loaded->dataBytes) = statics.get();
        loaded->statics = std::make_unique<MulStaticBlocks>(loaded->geometry, loaded->indexBytes,
                                                            loaded->dataBytes);
    }
    loaded->colors = ColorsBeside(mapPath);
    loaded->cells = std::make_unique<MulMapCells>(loaded->geometry, loaded->mapBytes);
    return loaded;
}

MapContent::MapContent(std::shared_ptr<const LoadedMap> map) : map(std::move(map)) {
    const MapPainter painter(*this->map->cells, this->map->statics.get(), *this->map->colors);
    overview = std::make_unique<MapOverview>(painter);
}

MapContent::MapContent(std::shared_ptr<const LoadedMap> dest,
                       std::shared_ptr<const LoadedMap> source, const CopySettings& settings)
    : map(std::move(dest)), source(std::move(source)), settings(settings) {
    preview = std::make_unique<CopyPreviewCells>(*map->cells, *this->source->cells, settings);
    // The destination's statics are not among the fields, so its land is
    // drawn alone.
    const MapPainter painter(*preview, nullptr, *map->colors);
    overview = std::make_unique<MapOverview>(painter);
}

MapCell MapContent::CellAt(int x, int y) const {
    return preview ? preview->Cell(x, y) : map->cells->Cell(x, y);
}

CellRect MapContent::PastedRegion() const {
    if (!preview || preview->LastColumn() < preview->FirstColumn() ||
        preview->LastRow() < preview->FirstRow()) {
        return {};
    }
    return {preview->FirstColumn(), preview->FirstRow(),
            preview->LastColumn() - preview->FirstColumn() + 1,
            preview->LastRow() - preview->FirstRow() + 1};
}

bool MapContent::Update(const CopySettings& newSettings) {
    if (!preview || SamePlacement(settings, newSettings)) {
        return false;
    }
    const CellRect before = PastedRegion();
    settings = newSettings;
    preview = std::make_unique<CopyPreviewCells>(*map->cells, *source->cells, settings);
    // Repainted even when nothing shown changed: the overview's painter
    // must draw from the new preview, the old one being gone.
    overview->Repaint(MapPainter(*preview, nullptr, *map->colors),
                      Union(before, PastedRegion()));
    return true;
}

}  // namespace kestrel
