#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "clientfiles/binary_file.h"
#include "clientfiles/change_description.h"

namespace kestrel {

// A journal that cannot be used as it is: damaged, or no state directory.
class JournalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How much undo history is kept: the newest operations up to this many, and
// only while their journals together take at most this many bytes. Older ones
// go first.
struct HistoryLimits {
    std::size_t operations = 20;
    std::uint64_t bytes = std::uint64_t{1} << 30;
};

// One completed change in the undo history.
struct HistoryEntry {
    struct File {
        std::string path;  // as it was named when changed
        BinaryFile::Identity identity;
        std::uint64_t originalLength = 0;  // bytes, before the change
        std::uint64_t newLength = 0;       // bytes, after it
        std::uint64_t bytesChanged = 0;    // bytes overwritten plus bytes added
    };
    std::string journalPath;
    ChangeDescription description;
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point committed;
    std::vector<File> files;
    std::uint64_t bytesChanged = 0;  // over all files
    std::uint64_t journalBytes = 0;  // the journal's own size
};

// What recovery did with one journal of an interrupted change.
struct RecoveryOutcome {
    enum class Result {
        RolledBack,       // the files hold their old bytes again; the journal is gone
        Damaged,          // a checksum or the layout does not match: not applied, kept
        InUse,            // a running program holds the journal: left alone
        FileUnavailable,  // a file of the change cannot be opened or is another file now: kept
        Failed,           // putting the old bytes back failed: kept for another try
    };
    Result result = Result::RolledBack;
    std::string journalPath;
    std::optional<ChangeDescription> description;  // when it could be read
    std::vector<std::string> files;                // paths the journal names
    std::string reason;  // for every result but RolledBack: why, for people
};

// What UndoNewest did.
struct UndoOutcome {
    enum class Result {
        Undone,         // the files hold what they held before the change
        NothingToUndo,  // no completed change (of that file) in the history
        Refused,        // the change was not undone; reason says why
    };
    Result result = Result::NothingToUndo;
    std::optional<HistoryEntry> entry;  // the change undone or refused
    std::string reason;
    std::vector<RecoveryOutcome> recovered;  // interrupted changes rolled back first
};

// The directory of rollback journals (one per change, named after the device
// and inode of the change's first file, so that any path of a file finds its
// journals) together with recovery of interrupted changes and the undo
// history of completed ones. Nothing is ever written beside the user's files.
//
// Several programs may use the same directory: a journal being written, rolled
// back or undone is held under a lock, and the others leave it alone.
class JournalStore {
public:
    explicit JournalStore(std::filesystem::path directory, HistoryLimits limits = {});

    // $XDG_STATE_HOME/kestrel when XDG_STATE_HOME is an absolute path,
    // otherwise ~/.local/state/kestrel. Throws JournalError when there is no
    // home directory either.
    static std::filesystem::path DefaultDirectory();

    const std::filesystem::path& Directory() const { return directory; }
    const HistoryLimits& Limits() const { return limits; }

    // Creates the directory, and any missing parent, with permissions 0700.
    // Throws FileException naming the directory that cannot be made.
    void EnsureDirectory() const;

    // Rolls back every interrupted change that names file, which the caller
    // holds open (call it right after opening a file to change it, before
    // reading it), and every other file of those changes, which it opens
    // itself. Returns an outcome for each such journal, and for each damaged
    // one whose files cannot be told. Never throws for a single journal's
    // failure (that is an outcome); throws FileException when the directory
    // cannot be read.
    std::vector<RecoveryOutcome> RecoverFile(BinaryFile& file) const;
    // The same for the file at path, opened here (nothing happens when it
    // does not exist).
    std::vector<RecoveryOutcome> RecoverFile(const std::string& path) const;
    // The same for every interrupted change in the directory.
    std::vector<RecoveryOutcome> RecoverAll() const;

    // The completed changes, newest first. Journals in use or damaged are left
    // out.
    std::vector<HistoryEntry> ListHistory() const;

    // Undoes the newest completed change of the file at path (of all files
    // when path is empty), after rolling back interrupted changes, and only
    // when every file of the change still holds exactly the bytes and length
    // the change left; otherwise refuses, saying why. Throws FileException
    // when putting the old bytes back fails part way; the journal is then kept
    // and recovery finishes the undo.
    UndoOutcome UndoNewest(const std::optional<std::string>& path = std::nullopt) const;

    // Removes the oldest completed changes beyond the limits. Failures are
    // ignored: the next call tries again.
    void PruneHistory() const noexcept;

private:
    std::vector<std::string> JournalPaths() const;
    std::vector<RecoveryOutcome> Recover(BinaryFile* held,
                                         const std::optional<BinaryFile::Identity>& only) const;

    std::filesystem::path directory;
    HistoryLimits limits;
};

}  // namespace kestrel
