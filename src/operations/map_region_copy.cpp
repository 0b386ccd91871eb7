#include "operations/map_region_copy.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "clientfiles/client_file_error.h"
#include "clientfiles/file_detection.h"
#include "clientfiles/map_file.h"
#include "operations/journaled_map_write.h"
#include "operations/map_span_copy.h"
#include "operations/operation_run.h"

namespace kestrel {

MapCopyRange ClipMapCopy(const CopySettings& settings, const MapGeometry& destGeometry) {
    MapCopyRange range;
    range.firstX = settings.minX;
    range.lastX =
        std::min(settings.maxX, settings.minX + (destGeometry.width - 1 - settings.offX));
    range.firstY = settings.minY;
    range.lastY =
        std::min(settings.maxY, settings.minY + (destGeometry.height - 1 - settings.offY));
    return range;
}

std::optional<std::string> MapFileProblem(const MapStore& map) {
    const std::uint64_t length = map.Length();
    const std::string start =
        "Error: " + map.FullPath() + " is not a map file: its length of " +
        std::to_string(length) + " bytes ";
    if (length % kMapBlockBytes != 0) {
        return start + "is not a whole number of " + std::to_string(kMapBlockBytes) +
               "-byte map blocks.";
    }
    if (length > kLargestMapBytes) {
        return start + "is more than the largest map's " + std::to_string(kLargestMapBytes) +
               " bytes.";
    }
    return std::nullopt;
}

std::int8_t ShiftAltitude(std::int8_t altitude, int offZ) {
    const auto sum = static_cast<std::uint32_t>(altitude) + static_cast<std::uint32_t>(offZ);
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(sum & 0xFFu));
}

namespace {

// Whether path names the file open in map (another path to the same file):
// asked before path is opened, as the lock refuses a second open.
bool IsSameFile(MapStore& map, const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    const BinaryFile::Identity identity = map.File().FileIdentity();
    return identity.device == static_cast<std::uint64_t>(status.st_dev) &&
           identity.inode == static_cast<std::uint64_t>(status.st_ino);
}

}  // namespace

OperationOutcome CopyMapRegion(const CopySettings& settings, UserInterface& ui) {
    return CopyMapRegion(settings, ui, MapCopyOptions{});
}

OperationOutcome CopyMapRegion(const CopySettings& settings, UserInterface& ui,
                               const MapCopyOptions& options) {
    OperationRun run(ui);
    // Interrupted changes of either file are rolled back before it is read.
    JournaledFileWrite journaled(options.journalDirectory);
    for (const std::string* path : {&settings.sourceMapPath, &settings.destMapPath}) {
        if (path == &settings.destMapPath && *path == settings.sourceMapPath) {
            break;  // one file: its journals were looked at already
        }
        if (std::optional<std::string> problem = journaled.Recover(*path)) {
            return run.Refuse(std::move(*problem));
        }
    }
    MapStore* source = nullptr;
    MapStore* dest = nullptr;
    try {
        source = run.OpenMap(settings.sourceMapPath, {settings.sourceSize});
        if (source == nullptr) {
            return run.CannotOpen(kCannotOpenSourceMap);
        }
        if (const std::optional<std::string> problem = MapFileProblem(*source)) {
            return run.Refuse(*problem);
        }
        if (IsSameFile(*source, settings.destMapPath)) {
            dest = source;
        } else {
            dest = run.OpenMap(settings.destMapPath, {settings.destSize});
            if (dest == nullptr) {
                return run.CannotOpen(kCannotOpenDestMap);
            }
            if (const std::optional<std::string> problem = MapFileProblem(*dest)) {
                return run.Refuse(*problem);
            }
        }
    } catch (const ClientFileError& error) {
        return run.Refuse(std::string("Error: ") + error.what());
    }
    // A source that lacks cells of the rectangle would have stale values
    // written in their place; refuse before anything is written. The last
    // cell of the rectangle in file order is its bottom-right one.
    const MapGeometry& sourceGeometry = source->Geometry();
    const MapGeometry& destGeometry = dest->Geometry();
    const MapCopyRange range = ClipMapCopy(settings, destGeometry);
    if (range.IsEmpty()) {
        if (options.summary != nullptr) {
            *options.summary = SummariseMapCopy(settings, *source, *dest);
        }
        return run.Done();
    }
    if (!sourceGeometry.Contains(range.lastX, range.lastY) ||
        source->Length() <
            static_cast<std::uint64_t>(CellOffset(sourceGeometry, range.lastX, range.lastY)) +
                kMapCellBytes) {
        return run.Refuse(kSourceMapTooShort);
    }
    // A .uop cannot grow: every cell written must lie inside its entries.
    const std::uint64_t lastWritten =
        static_cast<std::uint64_t>(CellOffset(destGeometry,
                                              DestinationColumn(settings, range.lastX),
                                              DestinationRow(settings, range.lastY))) +
        kMapCellBytes;
    if (dest->Container() == MapContainer::Uop && dest->Length() < lastWritten) {
        return run.Refuse("Error: " + dest->FullPath() + " holds " +
                          std::to_string(dest->Length()) + " bytes of map, too few for a " +
                          FormatMapSize(destGeometry) + " map.");
    }
    if (options.summary != nullptr) {
        *options.summary = SummariseMapCopy(settings, *source, *dest);
    }
    if (options.dryRun) {
        return run.Done();
    }
    if (std::optional<std::string> problem = journaled.Write(
            dest->File(), MapCopyDestinationRanges(settings, *dest),
            DescribeMapCopy(settings, destGeometry), [&] {
                CopyMapStoreSpans(*source, *dest, settings);
                // The checksums of a .uop's entries belong to the change.
                dest->Flush();
            })) {
        return run.Refuse(std::move(*problem));
    }
    return run.Done();
}

}  // namespace kestrel
