#include "operations/map_region_copy.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "clientfiles/map_file.h"
#include "operations/journaled_map_write.h"
#include "operations/map_span_copy.h"
#include "operations/operation_run.h"

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

OperationOutcome CopyMapRegion(const CopySettings& settings, UserInterface& ui) {
    return CopyMapRegion(settings, ui, MapCopyOptions{});
}

OperationOutcome CopyMapRegion(const CopySettings& settings, UserInterface& ui,
                               const MapCopyOptions& options) {
    OperationRun run(ui);
    BinaryFile* source = run.Open(settings.sourceMapPath, BinaryFile::Mode::ReadWriteExisting);
    if (source == nullptr) {
        return run.CannotOpen(kCannotOpenSourceMap);
    }
    BinaryFile* dest = run.Open(settings.destMapPath, BinaryFile::Mode::ReadWriteExisting);
    if (dest == nullptr) {
        return run.CannotOpen(kCannotOpenDestMap);
    }
    JournaledFileWrite journaled(*dest, options.journalDirectory);
    if (std::optional<std::string> problem = journaled.Recover()) {
        return run.Refuse(std::move(*problem));
    }
    // A source that lacks cells of the rectangle would have stale values
    // written in their place; refuse before anything is written. The last
    // cell of the rectangle in file order is its bottom-right one.
    const MapCopyRange range = ClipMapCopy(settings);
    if (!range.IsEmpty() &&
        source->Length() < std::uint64_t(CellOffset(range.lastX, range.lastY)) + kMapCellBytes) {
        return run.Refuse(kSourceMapTooShort);
    }
    if (options.summary != nullptr) {
        *options.summary = SummariseMapCopy(settings, *source, *dest);
    }
    if (options.dryRun) {
        return run.Done();
    }
    if (std::optional<std::string> problem =
            journaled.Write(MapCopyDestinationRanges(settings), DescribeMapCopy(settings),
                            [&] { CopyMapSpans(*source, *dest, settings); })) {
        return run.Refuse(std::move(*problem));
    }
    return run.Done();
}

}  // namespace kestrel
