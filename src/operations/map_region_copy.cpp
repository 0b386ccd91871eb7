#include "operations/map_region_copy.h"

#include <algorithm>

#include "clientfiles/map_file.h"
#include "operations/map_span_copy.h"

namespace kestrel {

MapCopyRange ClipMapCopy(const CopySettings& settings) {
    MapCopyRange range;
    range.firstX = settings.minX;
    range.lastX = std::min(settings.maxX, settings.minX + (kMapWidth - 1 - settings.offX));
    range.firstY = settings.minY;
    range.lastY = std::min(settings.maxY, settings.minY + (kMapHeight - 1 - settings.offY));
    return range;
}

std::int8_t ShiftAltitude(std::int8_t altitude, int offZ) {
    const auto sum = static_cast<std::uint32_t>(altitude) + static_cast<std::uint32_t>(offZ);
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(sum & 0xFFu));
}

void CopyMapRegion(const CopySettings& settings, UserInterface& ui) {
    BusyIndicator busy(ui);
    BinaryFile source;
    if (!source.Open(settings.sourceMapPath, BinaryFile::Mode::SourceTargetData)) {
        busy.End();
        ui.ShowMessage(kCannotOpenSourceMap);
        return;
    }
    BinaryFile dest;
    if (!dest.Open(settings.destMapPath, BinaryFile::Mode::SourceTargetData)) {
        source.Close();
        busy.End();
        ui.ShowMessage(kCannotOpenDestMap);
        return;
    }
    // A source that lacks cells of the rectangle would have stale values
    // written in their place; refuse before anything is written.
    const MapCopyRange range = ClipMapCopy(settings);
    if (!range.IsEmpty() &&
        source.Length() < std::uint64_t(CellOffset(range.lastX, range.lastY)) + kMapCellBytes) {
        source.Close();
        dest.Close();
        busy.End();
        ui.ShowMessage(kSourceMapTooShort);
        return;
    }
    CopyMapSpans(source, dest, settings);
    source.Close();
    dest.Close();
}

}  // namespace kestrel
