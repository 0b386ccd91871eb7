#include "operations/journaled_map_write.h"

#include <algorithm>
#include <utility>

#include "clientfiles/map_file.h"
#include "clientfiles/transaction.h"
#include "operations/map_region_copy.h"

namespace kestrel {

namespace {

// Whether a failure named the journal directory, a parent of it or a file in
// it: the journal, not the user's file, could not be written.
bool ConcernsJournal(const FileException& failure, const std::filesystem::path& directory) {
    if (failure.FileName().empty()) {
        return false;
    }
    const std::string name = std::filesystem::path(failure.FileName()).lexically_normal().string();
    const std::string root = std::filesystem::absolute(directory).lexically_normal().string();
    return root.starts_with(name) || name.starts_with(root);
}

std::string JournalProblem(const std::filesystem::path& directory, const std::string& reason) {
    return "Error: cannot keep a rollback journal in " + directory.string() +
           ", so nothing was written: " + reason;
}

}  // namespace

std::vector<ByteRange> MapCopyDestinationRanges(const CopySettings& settings,
                                                const MapStore& dest) {
    std::vector<ByteRange> ranges;
    const MapGeometry& geometry = dest.Geometry();
    const MapCopyRange range = ClipMapCopy(settings, geometry);
    if (range.IsEmpty()) {
        return ranges;
    }
    const int firstDx = DestinationColumn(settings, range.firstX);
    const int lastDx = DestinationColumn(settings, range.lastX);
    const int firstDy = DestinationRow(settings, range.firstY);
    const int lastDy = DestinationRow(settings, range.lastY);
    for (int blockColumn = firstDx / kBlockSize; blockColumn <= lastDx / kBlockSize;
         ++blockColumn) {
        const int lowDx = std::max(firstDx, blockColumn * kBlockSize);
        const int highDx = std::min(lastDx, blockColumn * kBlockSize + kBlockSize - 1);
        const auto start = static_cast<std::uint64_t>(CellOffset(geometry, lowDx, firstDy));
        const auto end =
            static_cast<std::uint64_t>(CellOffset(geometry, highDx, lastDy)) + kMapCellBytes;
        for (const PhysicalRange& physical : dest.PhysicalRanges(start, end - start)) {
            if (!ranges.empty() && ranges.back().offset + ranges.back().length == physical.offset) {
                ranges.back().length += physical.length;
            } else {
                ranges.push_back(physical);
            }
        }
    }
    return ranges;
}

ChangeDescription DescribeMapCopy(const CopySettings& settings, const MapGeometry& destGeometry) {
    ChangeDescription description;
    description.operation = "copy-map";
    const MapCopyRange range = ClipMapCopy(settings, destGeometry);
    description.summary = "cells " + std::to_string(settings.minX) + "," +
                          std::to_string(settings.minY) + " to " + std::to_string(settings.maxX) +
                          "," + std::to_string(settings.maxY) + " of " + settings.sourceMapPath +
                          " at " + std::to_string(settings.offX) + "," +
                          std::to_string(settings.offY) + ", altitude " +
                          (settings.offZ < 0 ? "" : "+") + std::to_string(settings.offZ);
    if (!range.IsEmpty()) {
        description.area = CellRectangle{
            static_cast<std::uint32_t>(DestinationColumn(settings, range.firstX)),
            static_cast<std::uint32_t>(DestinationRow(settings, range.firstY)),
            static_cast<std::uint32_t>(range.lastX - range.firstX + 1),
            static_cast<std::uint32_t>(range.lastY - range.firstY + 1)};
    }
    return description;
}

RollbackFailure::RollbackFailure(const FileException& original, const std::string& rollbackError,
                                 const std::string& journalPath)
    : FileException(original.Cause(), original.FileName()),
      text(std::string(original.what()) + " Putting the old bytes back failed as well (" +
           rollbackError + "); the journal " + journalPath +
           " was kept: the next Kestrel program that opens the file, or 'kestrel-cli "
           "recover', rolls the change back.") {}

JournaledFileWrite::JournaledFileWrite(std::string journalDirectory)
    : journalDirectory(std::move(journalDirectory)) {}

std::optional<std::string> JournaledFileWrite::OpenStore() {
    if (store) {
        return std::nullopt;
    }
    try {
        store.emplace(journalDirectory.empty() ? JournalStore::DefaultDirectory()
                                               : std::filesystem::path(journalDirectory));
    } catch (const JournalError& failure) {
        return "Error: cannot keep a rollback journal, so nothing was written: " +
               std::string(failure.what());
    }
    return std::nullopt;
}

std::optional<std::string> JournaledFileWrite::Recover(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    if (std::optional<std::string> problem = OpenStore()) {
        return problem;
    }
    std::vector<RecoveryOutcome> outcomes;
    try {
        outcomes = store->RecoverFile(path);
    } catch (const FileException&) {
        // A journal directory this user cannot read holds none of this user's
        // changes; writing will say if it cannot be used.
        return std::nullopt;
    }
    for (const RecoveryOutcome& outcome : outcomes) {
        // A damaged journal whose files cannot be told is left to recover.
        const bool blocks = outcome.result == RecoveryOutcome::Result::Damaged ||
                            outcome.result == RecoveryOutcome::Result::Failed ||
                            outcome.result == RecoveryOutcome::Result::FileUnavailable;
        if (blocks && !outcome.files.empty()) {
            return "Error: an interrupted change of " + path +
                   " could not be rolled back, so nothing was written (journal " +
                   outcome.journalPath + "): " + outcome.reason;
        }
    }
    return std::nullopt;
}

std::optional<std::string> JournaledFileWrite::Write(BinaryFile& file,
                                                     const std::vector<ByteRange>& ranges,
                                                     ChangeDescription description,
                                                     const std::function<void()>& write) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file.FullPath(), error)) {
        write();
        return std::nullopt;
    }
    if (std::optional<std::string> problem = OpenStore()) {
        return problem;
    }
    Transaction change(*store, std::move(description));
    try {
        change.AddFile(file);
        for (const ByteRange& range : ranges) {
            change.Protect(file, range.offset, range.length);
        }
        change.Seal();
    } catch (const FileException& failure) {
        // Nothing of the file was written yet; the destructor drops the journal.
        if (ConcernsJournal(failure, store->Directory())) {
            return JournalProblem(store->Directory(), failure.what());
        }
        throw;
    }
    try {
        write();
        change.Commit();
    } catch (const FileException& failure) {
        const std::string journalPath = change.JournalPath();
        try {
            change.Rollback();
        } catch (const std::exception& rollbackFailure) {
            throw RollbackFailure(failure, rollbackFailure.what(), journalPath);
        }
        throw;
    } catch (...) {
        // Out of memory or the like: roll back; when that fails too, the
        // journal stays for recovery.
        try {
            change.Rollback();
        } catch (...) {
        }
        throw;
    }
    return std::nullopt;
}

}  // namespace kestrel
