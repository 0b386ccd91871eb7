#include "operations/statics_export.h"

#include <cstdint>
#include <utility>

#include "clientfiles/file_detection.h"
#include "clientfiles/static_index_bands.h"
#include "clientfiles/statics_file.h"
#include "operations/operation_run.h"
#include "operations/statics_block_export.h"

namespace kestrel {

std::string BadStaticsEntryMessage(int bx, int by) {
    return "Error: source staidx0.mul has a bad entry for block " + std::to_string(bx) + "," +
           std::to_string(by) + "!";
}

StaticsBlockRange VisitedBlocks(const CopySettings& settings) {
    return {settings.minX / kBlockSize, settings.maxX / kBlockSize, settings.minY / kBlockSize,
            settings.maxY / kBlockSize};
}

std::optional<std::string> CheckStaticsFiles(BinaryFile& index, BinaryFile& data,
                                             const CopySettings& settings,
                                             const MapGeometry& geometry) {
    const StaticsBlockRange blocks = VisitedBlocks(settings);
    if (blocks.IsEmpty()) {
        return std::nullopt;
    }
    const auto indexNeeded =
        static_cast<std::uint64_t>(geometry.BlockNumber(blocks.lastBx, blocks.lastBy)) *
            kStaticIndexEntryBytes +
        kStaticIndexEntryBytes;
    if (index.Length() < indexNeeded) {
        return std::string(kStaticsIndexTooShort);
    }
    const std::uint64_t dataLength = data.Length();
    StaticIndexBands entries(index, blocks.firstBx, blocks.lastBx, blocks.firstBy, blocks.lastBy,
                             geometry);
    for (int by = blocks.firstBy; by <= blocks.lastBy; ++by) {
        for (int bx = blocks.firstBx; bx <= blocks.lastBx; ++bx) {
            const StaticIndexEntry entry = entries.Read(bx, by);
            if (entry.length == 0) {
                continue;
            }
            const std::uint64_t recordBytes = StaticRecordCount(entry.length) * kStaticRecordBytes;
            if (entry.lookup < 0 || std::uint64_t(entry.lookup) + recordBytes > dataLength) {
                return BadStaticsEntryMessage(bx, by);
            }
        }
    }
    return std::nullopt;
}

MapGeometry StaticsGeometry(const CopySettings& settings) {
    if (settings.sourceSize) {
        return *settings.sourceSize;
    }
    try {
        const FileDetection index = DetectStaticsIndex(settings.staticsIndexPath);
        if (index.match == SizeMatch::Known) {
            return index.geometry;
        }
        const FileDetection map = DetectMap(settings.sourceMapPath);
        if (map.match == SizeMatch::Known) {
            return map.geometry;
        }
    } catch (const std::exception&) {
        // A map that cannot be read tells nothing.
    }
    return kClassicGeometry;
}

OperationOutcome ExportStatics(const CopySettings& settings, UserInterface& ui) {
    const MapGeometry geometry = StaticsGeometry(settings);
    OperationRun run(ui);
    BinaryFile* index = run.Open(settings.staticsIndexPath, BinaryFile::Mode::ReadWriteExisting);
    if (index == nullptr) {
        return run.CannotOpen(kCannotOpenStaticsIndex);
    }
    BinaryFile* data = run.Open(settings.staticsDataPath, BinaryFile::Mode::ReadWriteExisting);
    if (data == nullptr) {
        return run.CannotOpen(kCannotOpenStaticsData);
    }
    // Damaged statics are refused before the items script is touched, so an
    // existing script survives them.
    if (std::optional<std::string> fault = CheckStaticsFiles(*index, *data, settings, geometry)) {
        return run.Refuse(std::move(*fault));
    }
    BinaryFile* items = run.Open(settings.itemsPath, BinaryFile::Mode::CreateTruncate);
    if (items == nullptr) {
        return run.CannotOpen(kCannotOpenItems);
    }
    ExportStaticsByBlockIn(*index, *data, *items, settings, geometry);
    return run.Done();
}

}  // namespace kestrel
