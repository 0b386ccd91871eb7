#include "operations/transplant.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <span>
#include <sstream>
#include <system_error>
#include <vector>

#include "clientfiles/binary_file.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/file_detection.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/journal_store.h"
#include "clientfiles/large_buffer.h"
#include "clientfiles/map_file.h"
#include "clientfiles/map_store.h"
#include "clientfiles/transaction.h"
#include "operations/copy_settings.h"
#include "operations/map_region_copy.h"
#include "operations/map_span_copy.h"

namespace kestrel {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The entry of directory whose name is name in any case, preferring the exact
// spelling.
std::optional<std::filesystem::path> FindAnyCase(const std::filesystem::path& directory,
                                                 const std::string& name) {
    std::error_code error;
    if (std::filesystem::is_regular_file(directory / name, error)) {
        return directory / name;
    }
    const std::string wanted = Lower(name);
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (Lower(entry.path().filename().string()) == wanted &&
            std::filesystem::is_regular_file(entry.path(), error)) {
            return entry.path();
        }
    }
    return std::nullopt;
}

// Reads the whole file into memory (left unset until read, in large pages:
// the whole statics files pass through here).
LargeVector<std::uint8_t> ReadWhole(BinaryFile& file) {
    const auto length = static_cast<std::size_t>(file.Length());
    LargeVector<std::uint8_t> buffer(length);
    file.Seek(0);
    std::size_t done = 0;
    while (done < length) {
        const std::size_t got = file.Read(buffer.data() + done, length - done);
        if (got == 0) {
            throw FileException(FileErrorCause::EndOfFile, file.FullPath());
        }
        done += got;
    }
    return buffer;
}

std::string OpenFailureReason(int error) {
    if (error == EWOULDBLOCK) {
        return "it is open in another program";
    }
    return std::generic_category().message(error);
}

// One file of the transplant, opened once even when it is source and
// destination at once.
struct OpenedFile {
    std::string name;  // for messages: "destination staidx0.mul"
    BinaryFile file;
};

void OpenOrThrow(BinaryFile& file, const std::filesystem::path& path, BinaryFile::Mode mode,
                 const std::string& role) {
    if (!file.Open(path.string(), mode)) {
        throw TransplantError("Cannot open the " + role + " " + path.filename().string() + " (" +
                              path.string() + "): " + OpenFailureReason(file.OpenError()) + ".");
    }
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

void RecoverOrThrow(const JournalStore& store, BinaryFile& file) {
    for (const RecoveryOutcome& outcome : store.RecoverFile(file)) {
        if (outcome.result != RecoveryOutcome::Result::RolledBack) {
            throw TransplantError("An interrupted change of " + file.FullPath() +
                                  " cannot be rolled back (" + outcome.journalPath +
                                  "): " + outcome.reason);
        }
    }
}

// The geometry of a world's statics: the one given, else the map's when it
// has a known size, else the statics index's, else the classic one.
MapGeometry WorldGeometry(const WorldFiles& files, const std::optional<MapGeometry>& given) {
    if (given) {
        return *given;
    }
    const FileDetection map = DetectMap(files.map.string());
    if (map.match == SizeMatch::Known) {
        return map.geometry;
    }
    const FileDetection index = DetectStaticsIndex(files.staticsIndex.string());
    if (index.match == SizeMatch::Known) {
        return index.geometry;
    }
    return kClassicGeometry;
}

// Counts the land's cells copied, clipped and wrapped, reading the source's
// block columns of the rectangle.
LandTransplantSummary SurveyLand(MapStore& source, const MapGeometry& destGeometry,
                                 const CopySettings& settings) {
    LandTransplantSummary summary;
    if (settings.minX > settings.maxX || settings.minY > settings.maxY) {
        return summary;
    }
    const std::uint64_t all = std::uint64_t(settings.maxX - settings.minX + 1) *
                              std::uint64_t(settings.maxY - settings.minY + 1);
    const MapCopyRange range = ClipMapCopy(settings, destGeometry);
    if (range.IsEmpty()) {
        summary.cellsClipped = all;
        return summary;
    }
    summary.cellsCopied = std::uint64_t(range.lastX - range.firstX + 1) *
                          std::uint64_t(range.lastY - range.firstY + 1);
    summary.cellsClipped = all - summary.cellsCopied;
    // An altitude wraps when it lies outside these before the shift; a shift
    // by a multiple of 256 wraps none and needs no look at the cells.
    const int lowest = -128 - settings.offZ;
    const int highest = 127 - settings.offZ;
    if (lowest <= -128 && highest >= 127) {
        return summary;
    }
    const std::uint64_t columnBytes =
        std::uint64_t(source.Geometry().BlockRows()) * std::uint64_t(kMapBlockBytes);
    const int firstRow = range.firstY / kBlockSize;
    const int lastRow = range.lastY / kBlockSize;
    const std::size_t spanBytes = std::size_t(lastRow - firstRow + 1) * kMapBlockBytes;
    std::vector<std::uint8_t> span(spanBytes);
    for (int column = range.firstX / kBlockSize; column <= range.lastX / kBlockSize; ++column) {
        const std::uint64_t offset =
            std::uint64_t(column) * columnBytes + std::uint64_t(firstRow) * kMapBlockBytes;
        const std::size_t got = source.Read(offset, span.data(), spanBytes);
        std::fill(span.begin() + static_cast<std::ptrdiff_t>(got), span.end(), std::uint8_t{0});
        const int fromX = std::max(range.firstX, column * kBlockSize) % kBlockSize;
        const int toX = std::min(range.lastX, column * kBlockSize + kBlockSize - 1) % kBlockSize;
        for (int y = range.firstY; y <= range.lastY; ++y) {
            const std::uint8_t* row = span.data() +
                                      std::size_t(y / kBlockSize - firstRow) * kMapBlockBytes +
                                      kMapBlockHeaderBytes +
                                      std::size_t(y % kBlockSize) * kBlockSize * kMapCellBytes;
            for (int x = fromX; x <= toX; ++x) {
                const int z = static_cast<std::int8_t>(row[std::size_t(x) * kMapCellBytes + 2]);
                summary.altitudeWraps += static_cast<std::uint64_t>(z < lowest || z > highest);
            }
        }
    }
    return summary;
}

struct StaticsPlan {
    MapGeometry geometry;  // the destination's, as its statics are laid out
    LargeVector<std::uint8_t> oldIndex;
    LargeVector<std::uint8_t> oldData;
    StaticsTransplantResult result;
    LargeVector<std::uint8_t> newData;
};

void WriteAt(BinaryFile& file, std::uint64_t offset, const std::uint8_t* bytes,
             std::uint64_t count) {
    file.Seek(static_cast<std::int64_t>(offset));
    file.Write(bytes, static_cast<std::size_t>(count));
}

// The files of a transplant, open. A file that is source and destination at
// once (a move within one world) is open once, as the destination.
struct OpenedWorlds {
    MapStore destMap;
    BinaryFile destIndex;
    BinaryFile destData;
    MapStore sourceMap;
    BinaryFile sourceIndex;
    BinaryFile sourceData;
    bool sameMap = false;
    bool sameIndex = false;
    bool sameData = false;

    MapStore& LandSource() { return sameMap ? destMap : sourceMap; }
};

enum class DestinationAccess {
    Write,     // exclusively, for reading and writing
    ReadOnly,  // for reading only, under the shared lock
};

// Opens the files request needs: the destinations first in access, each
// brought back from an interrupted change through recoverWith (when given)
// before it is read; then the sources read-only, unless they are the
// destination's very files. Throws TransplantError.
void OpenWorlds(const TransplantRequest& request, DestinationAccess access,
                const JournalStore* recoverWith, OpenedWorlds& worlds) {
    const bool withStatics = request.statics.has_value();
    const bool readOnly = access == DestinationAccess::ReadOnly;
    const BinaryFile::Mode destMode =
        readOnly ? BinaryFile::Mode::ReadOnlyShared : BinaryFile::Mode::ReadWriteExisting;
    try {
        if (request.land) {
            MapStoreOptions options;
            options.geometry = request.destinationGeometry;
            options.readOnly = readOnly;
            if (!worlds.destMap.Open(request.destination.map.string(), options)) {
                throw TransplantError(
                    "Cannot open the destination " + request.destination.map.filename().string() +
                    " (" + request.destination.map.string() +
                    "): " + OpenFailureReason(worlds.destMap.File().OpenError()) + ".");
            }
        }
        if (withStatics) {
            OpenOrThrow(worlds.destIndex, request.destination.staticsIndex, destMode,
                        "destination");
            OpenOrThrow(worlds.destData, request.destination.staticsData, destMode, "destination");
        }
        if (recoverWith != nullptr) {
            if (worlds.destMap.IsOpen()) {
                RecoverOrThrow(*recoverWith, worlds.destMap.File());
            }
            if (withStatics) {
                RecoverOrThrow(*recoverWith, worlds.destIndex);
                RecoverOrThrow(*recoverWith, worlds.destData);
            }
        }
    } catch (const ClientFileError& failure) {
        throw TransplantError(failure.what());
    } catch (const FileException& failure) {
        throw TransplantError(failure.what());
    }

    worlds.sameMap = request.land && SameFile(request.source.map, request.destination.map);
    worlds.sameIndex =
        withStatics && SameFile(request.source.staticsIndex, request.destination.staticsIndex);
    worlds.sameData =
        withStatics && SameFile(request.source.staticsData, request.destination.staticsData);
    try {
        if (request.land && !worlds.sameMap) {
            MapStoreOptions options;
            options.geometry = request.sourceGeometry;
            options.readOnly = true;
            if (!worlds.sourceMap.Open(request.source.map.string(), options)) {
                throw TransplantError(
                    "Cannot open the source " + request.source.map.filename().string() + " (" +
                    request.source.map.string() +
                    "): " + OpenFailureReason(worlds.sourceMap.File().OpenError()) + ".");
            }
        }
        if (withStatics && !worlds.sameIndex) {
            OpenOrThrow(worlds.sourceIndex, request.source.staticsIndex,
                        BinaryFile::Mode::ReadOnlyShared, "source");
        }
        if (withStatics && !worlds.sameData) {
            OpenOrThrow(worlds.sourceData, request.source.staticsData,
                        BinaryFile::Mode::ReadOnlyShared, "source");
        }
    } catch (const ClientFileError& failure) {
        throw TransplantError(failure.what());
    } catch (const FileException& failure) {
        throw TransplantError(failure.what());
    }
}

// Works out everything the transplant of request changes, writing nothing:
// checks the maps and counts the land into summary.land, and lays out the
// destination's new statics into statics. Throws TransplantError (the
// message ending in "Nothing was changed.").
void WorkOut(const TransplantRequest& request, OpenedWorlds& worlds, TransplantSummary& summary,
             StaticsPlan& statics) {
    MapStore& destMap = worlds.destMap;
    MapStore& landSource = worlds.LandSource();
    summary.sameWorld = worlds.sameMap || worlds.sameIndex || worlds.sameData;
    const CopySettings landSettings = LandSettings(request.placement);
    try {
        if (request.land) {
            for (MapStore* map : {&landSource, &destMap}) {
                if (const std::optional<std::string> problem = MapFileProblem(*map)) {
                    throw TransplantError(*problem);
                }
            }
            const MapCopyRange range = ClipMapCopy(landSettings, destMap.Geometry());
            if (!range.IsEmpty() &&
                landSource.Length() <
                    std::uint64_t(CellOffset(landSource.Geometry(), range.lastX, range.lastY)) +
                        kMapCellBytes) {
                throw TransplantError("The source " + request.source.map.filename().string() +
                                      " is too short for the rectangle.");
            }
            summary.land = SurveyLand(landSource, destMap.Geometry(), landSettings);
        }

        if (request.statics) {
            const MapGeometry sourceGeometry =
                WorldGeometry(request.source, request.sourceGeometry);
            const MapGeometry destGeometry =
                WorldGeometry(request.destination, request.destinationGeometry);
            statics.geometry = destGeometry;
            statics.oldIndex = ReadWhole(worlds.destIndex);
            statics.oldData = ReadWhole(worlds.destData);
            LargeVector<std::uint8_t> sourceIndexBytes;
            LargeVector<std::uint8_t> sourceDataBytes;
            if (!worlds.sameIndex) {
                sourceIndexBytes = ReadWhole(worlds.sourceIndex);
            }
            if (!worlds.sameData) {
                sourceDataBytes = ReadWhole(worlds.sourceData);
            }
            StaticsPairBytes source{
                worlds.sameIndex ? statics.oldIndex : sourceIndexBytes,
                worlds.sameData ? statics.oldData : sourceDataBytes, sourceGeometry,
                "source " + request.source.staticsIndex.filename().string(),
                "source " + request.source.staticsData.filename().string()};
            StaticsPairBytes destination{
                statics.oldIndex, statics.oldData, destGeometry,
                "destination " + request.destination.staticsIndex.filename().string(),
                "destination " + request.destination.staticsData.filename().string()};
            // The new data holds at most every old static and every source one.
            statics.newData.reserve(statics.oldData.size() + source.data.size());
            statics.result =
                TransplantStatics(source, destination, request.placement, *request.statics,
                                  [&](std::uint64_t, std::span<const std::uint8_t> bytes) {
                                      statics.newData.insert(statics.newData.end(),
                                                             bytes.begin(), bytes.end());
                                  });
            summary.statics = statics.result.summary;
        }
    } catch (const StaticsTransplantError& failure) {
        throw TransplantError(std::string(failure.what()) + " Nothing was changed.");
    } catch (const ClientFileError& failure) {
        throw TransplantError(std::string(failure.what()) + " Nothing was changed.");
    } catch (const FileException& failure) {
        throw TransplantError(std::string(failure.what()) + " Nothing was changed.");
    }
}

}  // namespace

CopySettings LandSettings(const TransplantPlacement& placement) {
    CopySettings settings;
    settings.minX = placement.minX;
    settings.maxX = placement.maxX;
    settings.minY = placement.minY;
    settings.maxY = placement.maxY;
    settings.offX = placement.offX;
    settings.offY = placement.offY;
    settings.offZ = placement.offZ;
    return settings;
}

WorldFiles FindWorldFiles(const std::filesystem::path& directory, int mapNumber,
                          const std::string& role) {
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error)) {
        throw TransplantError("The " + role + " folder " + directory.string() +
                              " is not a folder that can be read.");
    }
    const std::string number = std::to_string(mapNumber);
    const auto require = [&](const std::string& name,
                             const std::optional<std::filesystem::path>& found) {
        if (!found) {
            throw TransplantError("The " + role + " folder " + directory.string() + " has no " +
                                  name + ".");
        }
        return *found;
    };
    WorldFiles files;
    std::optional<std::filesystem::path> map = FindAnyCase(directory, "map" + number + ".mul");
    if (!map) {
        map = FindAnyCase(directory, "map" + number + "LegacyMUL.uop");
    }
    files.map = require("map" + number + ".mul or map" + number + "LegacyMUL.uop", map);
    files.staticsIndex =
        require("staidx" + number + ".mul", FindAnyCase(directory, "staidx" + number + ".mul"));
    files.staticsData =
        require("statics" + number + ".mul", FindAnyCase(directory, "statics" + number + ".mul"));
    return files;
}

TransplantSummary Transplant(const TransplantRequest& request) {
    TransplantSummary summary;
    const JournalStore store(request.journalDirectory);
    const bool withStatics = request.statics.has_value();
    OpenedWorlds worlds;
    OpenWorlds(request, DestinationAccess::Write, request.dryRun ? nullptr : &store, worlds);
    MapStore& destMap = worlds.destMap;
    BinaryFile& destIndex = worlds.destIndex;
    BinaryFile& destData = worlds.destData;
    MapStore& landSource = worlds.LandSource();
    const CopySettings landSettings = LandSettings(request.placement);
    StaticsPlan statics;
    WorkOut(request, worlds, summary, statics);
    if (request.dryRun) {
        return summary;
    }

    // Everything is worked out: protect what changes, then write it.
    ChangeDescription description;
    description.operation = "transplant";
    description.summary = "transplant from " + request.source.map.parent_path().string();
    const MapCopyRange range =
        request.land ? ClipMapCopy(landSettings, destMap.Geometry()) : MapCopyRange{};
    if (request.land && !range.IsEmpty()) {
        description.area = CellRectangle{static_cast<std::uint32_t>(landSettings.offX),
                                         static_cast<std::uint32_t>(landSettings.offY),
                                         static_cast<std::uint32_t>(range.lastX - range.firstX + 1),
                                         static_cast<std::uint32_t>(range.lastY - range.firstY + 1)};
    }
    try {
        store.EnsureDirectory();
        Transaction change(store, description);
        try {
            if (request.land && !range.IsEmpty()) {
                BinaryFile& map = destMap.File();
                change.AddFile(map);
                const int firstColumn = DestinationColumn(landSettings, range.firstX) / kBlockSize;
                const int lastColumn = DestinationColumn(landSettings, range.lastX) / kBlockSize;
                const int firstRow = DestinationRow(landSettings, range.firstY) / kBlockSize;
                const int lastRow = DestinationRow(landSettings, range.lastY) / kBlockSize;
                // One range per block column, joined where they touch (a
                // rectangle of full height is one range): the journal then
                // holds fewer, larger records, which every later look at it
                // reads faster. A .uop holds them in its entries.
                const std::uint64_t columnBytes =
                    std::uint64_t(destMap.Geometry().BlockRows()) * std::uint64_t(kMapBlockBytes);
                const std::uint64_t spanBytes =
                    std::uint64_t(lastRow - firstRow + 1) * kMapBlockBytes;
                const auto protect = [&](std::uint64_t offset, std::uint64_t length) {
                    for (const PhysicalRange& part : destMap.PhysicalRanges(offset, length)) {
                        change.Protect(map, part.offset, part.length);
                    }
                };
                std::uint64_t start = 0;
                std::uint64_t end = 0;
                for (int column = firstColumn; column <= lastColumn; ++column) {
                    const std::uint64_t at =
                        std::uint64_t(column) * columnBytes + std::uint64_t(firstRow) * kMapBlockBytes;
                    if (end != at) {
                        if (end > start) {
                            protect(start, end - start);
                        }
                        start = at;
                    }
                    end = at + spanBytes;
                }
                protect(start, end - start);
            }
            ByteRange indexRange;
            ByteRange dataRange;
            std::uint64_t cutFrom = 0;
            if (withStatics) {
                change.AddFile(destIndex);
                change.AddFile(destData);
                indexRange = ChangedBytes(statics.oldIndex, statics.result.index);
                dataRange = ChangedBytes(statics.oldData, statics.newData);
                change.Protect(destIndex, indexRange.offset, indexRange.length);
                change.Protect(destData, dataRange.offset, dataRange.length);
                cutFrom = statics.newData.size();
                if (cutFrom < statics.oldData.size()) {
                    // The cut bytes are kept too, so a rollback brings them back.
                    change.Protect(destData, cutFrom, statics.oldData.size() - cutFrom);
                }
            }
            change.Seal();
            if (request.land && !range.IsEmpty()) {
                CopyMapStoreSpans(landSource, destMap, landSettings);
                destMap.Flush();
            }
            if (withStatics) {
                WriteAt(destIndex, indexRange.offset,
                        statics.result.index.data() + indexRange.offset, indexRange.length);
                WriteAt(destData, dataRange.offset, statics.newData.data() + dataRange.offset,
                        dataRange.length);
                if (cutFrom < statics.oldData.size()) {
                    destData.Truncate(cutFrom);
                }
            }
            change.Commit();
        } catch (const std::exception& failure) {
            const std::string reason = failure.what();
            try {
                change.Rollback();
            } catch (const std::exception& rollbackFailure) {
                throw TransplantError("The transplant failed (" + reason +
                                      ") and putting the old bytes back failed too (" +
                                      rollbackFailure.what() + "); the journal " +
                                      change.JournalPath() +
                                      " was kept and the next open of the files finishes it.");
            }
            throw TransplantError("The transplant failed: " + reason +
                                  " Every destination file was left as it was.");
        }
    } catch (const FileException& failure) {
        throw TransplantError(std::string(failure.what()) + " Nothing was changed.");
    } catch (const JournalError& failure) {
        throw TransplantError(std::string(failure.what()) + " Nothing was changed.");
    }
    return summary;
}

TransplantPlan PlanTransplant(const TransplantRequest& request) {
    TransplantPlan plan;
    OpenedWorlds worlds;
    OpenWorlds(request, DestinationAccess::ReadOnly, nullptr, worlds);
    StaticsPlan statics;
    WorkOut(request, worlds, plan.summary, statics);
    if (request.statics) {
        const std::span<const std::uint8_t> data = statics.newData;
        plan.statics = TransplantedStatics{statics.geometry, std::move(statics.result.index),
                                           std::vector<std::uint8_t>(data.begin(), data.end())};
    }
    return plan;
}

std::string FormatTransplantSummary(const TransplantSummary& summary,
                                    const TransplantRequest& request) {
    std::ostringstream text;
    text << (request.dryRun ? "Dry run, nothing written: the transplant would move\n"
                            : "Transplanted:\n");
    const auto line = [&](std::string label, std::uint64_t count) {
        label.resize(32, ' ');
        text << "  " << label << count << '\n';
    };
    if (request.land) {
        line("land cells copied:", summary.land.cellsCopied);
        line("land cells clipped:", summary.land.cellsClipped);
        line("altitude wraps:", summary.land.altitudeWraps);
    }
    if (request.statics) {
        line("statics moved:", summary.statics.moved);
        line("statics removed:", summary.statics.removed);
        line("statics left out at the edges:", summary.statics.leftOut);
        line("duplicates skipped:", summary.statics.duplicatesSkipped);
    }
    return text.str();
}

}  // namespace kestrel
