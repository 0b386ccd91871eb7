#include "clientfiles/journal_store.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <system_error>

#include "clientfiles/file_exception.h"
#include "clientfiles/journal_format.h"

namespace kestrel {

using journal::JournalState;
using journal::ParsedJournal;

namespace {

std::chrono::system_clock::time_point TimeOf(std::int64_t ns) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(ns)));
}

std::vector<std::string> PathsOf(const ParsedJournal& parsed) {
    std::vector<std::string> paths;
    for (const journal::FileEntry& file : parsed.files) {
        paths.push_back(file.path);
    }
    return paths;
}

bool Names(const ParsedJournal& parsed, const BinaryFile::Identity& identity) {
    return std::any_of(parsed.files.begin(), parsed.files.end(),
                       [&](const journal::FileEntry& file) { return file.identity == identity; });
}

HistoryEntry EntryOf(const ParsedJournal& parsed) {
    HistoryEntry entry;
    entry.journalPath = parsed.path;
    entry.description = *parsed.description;
    entry.started = TimeOf(parsed.createdNs);
    entry.committed = TimeOf(parsed.commit->committedNs);
    entry.journalBytes = parsed.size;
    for (std::uint32_t index = 0; index < parsed.files.size(); ++index) {
        const journal::FileEntry& file = parsed.files[index];
        const journal::FileResult& result = parsed.commit->files[index];
        HistoryEntry::File shown{file.path, file.identity, file.originalLength, result.newLength,
                                 parsed.OldBytes(index)};
        if (result.newLength > file.originalLength) {
            shown.bytesChanged += result.newLength - file.originalLength;
        }
        entry.bytesChanged += shown.bytesChanged;
        entry.files.push_back(std::move(shown));
    }
    return entry;
}

// The files of a journal, opened for writing (the one held by the caller is
// used as it is). The reason is empty when every file is open.
struct OpenedFiles {
    std::vector<std::unique_ptr<BinaryFile>> owned;
    std::vector<BinaryFile*> files;
    std::string reason;
};

OpenedFiles OpenFiles(const ParsedJournal& parsed, BinaryFile* held,
                      const std::optional<std::string>& givenPath = std::nullopt,
                      const std::optional<BinaryFile::Identity>& givenIdentity = std::nullopt) {
    OpenedFiles opened;
    std::optional<BinaryFile::Identity> heldIdentity;
    if (held != nullptr) {
        heldIdentity = held->FileIdentity();
    }
    for (const journal::FileEntry& file : parsed.files) {
        if (heldIdentity && *heldIdentity == file.identity) {
            opened.files.push_back(held);
            continue;
        }
        // A file named on the command line may have been moved since.
        const std::string& path =
            givenIdentity && *givenIdentity == file.identity ? *givenPath : file.path;
        auto handle = std::make_unique<BinaryFile>();
        if (!handle->Open(path, BinaryFile::Mode::ReadWriteExisting)) {
            opened.reason = path + " cannot be opened for writing (missing, in use or protected)";
            return opened;
        }
        if (handle->FileIdentity() != file.identity) {
            opened.reason = path + " is no longer the file that was changed";
            return opened;
        }
        opened.files.push_back(handle.get());
        opened.owned.push_back(std::move(handle));
    }
    return opened;
}

// Puts the old bytes of an intact journal back and removes it.
void RollBack(BinaryFile& journalFile, const ParsedJournal& parsed,
              const std::vector<BinaryFile*>& files, const std::filesystem::path& directory) {
    if (parsed.slot->state == JournalState::Complete) {
        // An undo: marked first, so that an interrupted undo is finished by
        // recovery instead of being refused as a changed file.
        const int index = parsed.slotIndex ^ 1;
        journal::WriteSlot(journalFile, index,
                           journal::Slot{JournalState::Undoing, parsed.slot->sequence + 1,
                                         parsed.slot->sealedEnd});
        journalFile.Sync();
    }
    journal::RestoreOldBytes(journalFile, parsed, files);
    journalFile.Close();
    RemoveFile(parsed.path);
    SyncDirectory(directory.string());
}

std::optional<BinaryFile::Identity> IdentityOfPath(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return BinaryFile::Identity{static_cast<std::uint64_t>(status.st_dev),
                                static_cast<std::uint64_t>(status.st_ino)};
}

}  // namespace

JournalStore::JournalStore(std::filesystem::path directory, HistoryLimits limits)
    : directory(std::move(directory)), limits(limits) {}

std::filesystem::path JournalStore::DefaultDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::filesystem::path(state) / "kestrel";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/') {
        throw JournalError(
            "There is no directory for Kestrel's journals: neither XDG_STATE_HOME nor HOME is "
            "set.");
    }
    return std::filesystem::path(home) / ".local" / "state" / "kestrel";
}

void JournalStore::EnsureDirectory() const {
    std::filesystem::path partial;
    for (const std::filesystem::path& part : std::filesystem::absolute(directory)) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            throw FileException(FileException::CauseFromErrno(errno), partial.string());
        }
    }
}

std::vector<std::string> JournalStore::JournalPaths() const {
    std::vector<std::string> paths;
    std::error_code error;
    std::filesystem::directory_iterator entries(directory, error);
    if (error) {
        if (error == std::errc::no_such_file_or_directory) {
            return paths;
        }
        throw FileException(FileException::CauseFromErrno(error.value()), directory.string());
    }
    for (const std::filesystem::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(journal::kJournalSuffix)) {
            paths.push_back(entry.path().string());
        } else if (name.ends_with(journal::kUnsealedSuffix)) {
            // A journal that was never sealed protects nothing: no byte was
            // written under it. When no program holds it any more, its writer
            // was stopped; it is only in the way.
            // It is removed while held, so that no writer can take it up
            // between the look and the removal.
            BinaryFile unsealed;
            if (unsealed.Open(entry.path().string(), BinaryFile::Mode::ReadWriteExisting)) {
                try {
                    RemoveFile(entry.path().string());
                    unsealed.Close();
                } catch (const FileException&) {
                    // Tried again next time.
                }
            }
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<RecoveryOutcome> JournalStore::Recover(
    BinaryFile* held, const std::optional<BinaryFile::Identity>& only) const {
    std::vector<RecoveryOutcome> outcomes;
    for (const std::string& path : JournalPaths()) {
        RecoveryOutcome outcome;
        outcome.journalPath = path;
        BinaryFile journalFile;
        if (!journalFile.Open(path, BinaryFile::Mode::ReadWriteExisting)) {
            if (!only) {
                outcome.result = RecoveryOutcome::Result::InUse;
                outcome.reason = "another program holds it";
                outcomes.push_back(std::move(outcome));
            }
            continue;
        }
        try {
            // A first look without the old bytes tells whose journal it is
            // and whether there is anything to do.
            ParsedJournal parsed = journal::ReadJournal(journalFile, false);
            outcome.description = parsed.description;
            outcome.files = PathsOf(parsed);
            const bool known = parsed.Intact() || !parsed.files.empty();
            if (only && known && !Names(parsed, *only)) {
                continue;
            }
            if (parsed.Intact() && parsed.slot->state == JournalState::Complete) {
                continue;
            }
            if (parsed.Intact()) {
                parsed = journal::ReadJournal(journalFile, true);
            }
            if (!parsed.Intact()) {
                outcome.result = RecoveryOutcome::Result::Damaged;
                outcome.reason = "the journal cannot be used: " + parsed.damage +
                                 "; it was not applied and was kept";
                outcomes.push_back(std::move(outcome));
                continue;
            }
            OpenedFiles opened = OpenFiles(parsed, held);
            if (!opened.reason.empty()) {
                outcome.result = RecoveryOutcome::Result::FileUnavailable;
                outcome.reason = opened.reason + "; the journal was kept";
                outcomes.push_back(std::move(outcome));
                continue;
            }
            RollBack(journalFile, parsed, opened.files, directory);
            outcome.result = RecoveryOutcome::Result::RolledBack;
        } catch (const FileException& failure) {
            outcome.result = RecoveryOutcome::Result::Failed;
            outcome.reason = std::string(failure.what()) + " The journal was kept.";
        }
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

std::vector<RecoveryOutcome> JournalStore::RecoverFile(BinaryFile& file) const {
    return Recover(&file, file.FileIdentity());
}

std::vector<RecoveryOutcome> JournalStore::RecoverFile(const std::string& path) const {
    const std::optional<BinaryFile::Identity> identity = IdentityOfPath(path);
    if (!identity) {
        return {};
    }
    return Recover(nullptr, identity);
}

std::vector<RecoveryOutcome> JournalStore::RecoverAll() const {
    return Recover(nullptr, std::nullopt);
}

std::vector<HistoryEntry> JournalStore::ListHistory() const {
    std::vector<HistoryEntry> entries;
    for (const std::string& path : JournalPaths()) {
        BinaryFile journalFile;
        if (!journalFile.Open(path, BinaryFile::Mode::ReadWriteExisting)) {
            continue;
        }
        const ParsedJournal parsed = journal::ReadJournal(journalFile, false);
        if (parsed.Intact() && parsed.slot->state == JournalState::Complete) {
            entries.push_back(EntryOf(parsed));
        }
    }
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const HistoryEntry& a, const HistoryEntry& b) { return a.committed > b.committed; });
    return entries;
}

void JournalStore::PruneHistory() const noexcept {
    try {
        const std::vector<HistoryEntry> entries = ListHistory();
        std::uint64_t bytes = 0;
        bool full = false;
        for (std::size_t at = 0; at < entries.size(); ++at) {
            bytes += entries[at].journalBytes;
            full = full || at >= limits.operations || bytes > limits.bytes;
            if (full) {
                try {
                    RemoveFile(entries[at].journalPath);
                } catch (const FileException&) {
                    // Tried again after the next change.
                }
            }
        }
    } catch (...) {
        // The history is only trimmed, never needed for safety.
    }
}

UndoOutcome JournalStore::UndoNewest(const std::optional<std::string>& path) const {
    UndoOutcome outcome;
    std::optional<BinaryFile::Identity> identity;
    if (path) {
        identity = IdentityOfPath(*path);
        if (!identity) {
            outcome.result = UndoOutcome::Result::Refused;
            outcome.reason = *path + " cannot be read";
            return outcome;
        }
        outcome.recovered = RecoverFile(*path);
    } else {
        outcome.recovered = RecoverAll();
    }
    for (const HistoryEntry& entry : ListHistory()) {
        const bool names = !identity || std::any_of(entry.files.begin(), entry.files.end(),
                                                    [&](const HistoryEntry::File& file) {
                                                        return file.identity == *identity;
                                                    });
        if (names) {
            outcome.entry = entry;
            break;
        }
    }
    if (!outcome.entry) {
        outcome.result = UndoOutcome::Result::NothingToUndo;
        return outcome;
    }
    outcome.result = UndoOutcome::Result::Refused;
    const std::string what = "\"" + outcome.entry->description.summary + "\"";
    BinaryFile journalFile;
    if (!journalFile.Open(outcome.entry->journalPath, BinaryFile::Mode::ReadWriteExisting)) {
        outcome.reason = "its journal " + outcome.entry->journalPath + " is in use";
        return outcome;
    }
    const ParsedJournal parsed = journal::ReadJournal(journalFile, true);
    if (!parsed.Intact() || parsed.slot->state != JournalState::Complete) {
        outcome.reason = "its journal " + parsed.path + " cannot be used: " +
                         (parsed.Intact() ? std::string("it changed meanwhile") : parsed.damage) +
                         "; it was not applied and was kept";
        return outcome;
    }
    OpenedFiles opened = OpenFiles(parsed, nullptr, path, identity);
    if (!opened.reason.empty()) {
        outcome.reason = opened.reason;
        return outcome;
    }
    for (std::uint32_t index = 0; index < parsed.files.size(); ++index) {
        BinaryFile& file = *opened.files[index];
        const journal::FileResult& result = parsed.commit->files[index];
        const std::uint64_t length = file.Length();
        if (length != result.newLength) {
            outcome.reason = file.FullPath() + " was changed after " + what + ": it is " +
                             std::to_string(length) + " bytes long, not " +
                             std::to_string(result.newLength);
            return outcome;
        }
        const std::uint32_t crc =
            journal::NewBytesCrc(file, journal::RangesOf(parsed, index),
                                 parsed.files[index].originalLength, result.newLength);
        if (crc != result.crc) {
            outcome.reason = file.FullPath() + " was changed after " + what +
                             ": it no longer holds what that change wrote";
            return outcome;
        }
    }
    RollBack(journalFile, parsed, opened.files, directory);
    outcome.result = UndoOutcome::Result::Undone;
    return outcome;
}

}  // namespace kestrel
