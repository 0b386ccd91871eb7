#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "clientfiles/binary_file.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/journal_format.h"
#include "clientfiles/journal_store.h"
#include "clientfiles/transaction.h"
#include "support/crash_harness.h"
#include "support/journal_fixture.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Batch;
using test::Bytes;
using test::ChangeFiles;
using test::Ending;
using test::Patched;
using test::Pattern;
using test::Rounds;

class RollbackJournalTest : public ::testing::Test {
protected:
    RollbackJournalTest() : store(dir.Path() / "state" / "kestrel"), world(dir.Path() / "world") {
        std::filesystem::create_directory(world);
    }

    std::string Make(const std::string& name, const Bytes& bytes) {
        const std::string path = (world / name).string();
        test::WriteBytes(path, bytes);
        return path;
    }

    std::vector<std::string> Journals() const {
        std::vector<std::string> names;
        for (const std::string& name : test::JournalNames(store)) {
            if (name.ends_with(".journal")) {
                names.push_back(name);
            }
        }
        return names;
    }

    test::TempDir dir;
    JournalStore store;
    std::filesystem::path world;
};

// Two files, the second growing, changed in two rounds that overlap.
Rounds TwoFileRounds() {
    return Rounds{
        {Batch{{100, Pattern(70000, 11)}, {140000, Pattern(300, 12)}}, Batch{{0, Pattern(64, 13)}}},
        {Batch{{60000, Pattern(50000, 14)}},
         Batch{{4000, Pattern(2000, 15)}, {60, Pattern(10, 16)}}},
    };
}

TEST_F(RollbackJournalTest, CommitKeepsTheChangeAndUndoPutsTheOldBytesBack) {
    struct Case {
        const char* name;
        std::size_t size;
        Rounds rounds;
        std::uint64_t bytesChanged;  // unique old bytes kept plus bytes added
    };
    const std::vector<Case> cases = {
        {"inside the file",
         10000,
         {{Batch{{100, Pattern(500, 1)}, {5000, Pattern(1000, 2)}}}},
         1500},
        {"growing the file", 1000, {{Batch{{900, Pattern(600, 3)}}}}, 600},
        {"overlapping rounds",
         4000,
         {{Batch{{1000, Pattern(2000, 4)}}},
          {Batch{{1500, Pattern(2000, 5)}, {3800, Pattern(1000, 6)}}}},
         2000 + 500 + 200 + 800},
        {"beyond one record", 3 << 20, {{Batch{{10, Pattern(5 << 19, 7)}}}}, 5 << 19},
        {"only past the end", 100, {{Batch{{300, Pattern(50, 8)}}}}, 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes before = Pattern(c.size, 99);
        const std::string path = Make("map0.mul", before);
        ChangeFiles(store, {path}, c.rounds, c.name);

        EXPECT_EQ(test::ReadBytes(path), Patched(before, c.rounds, 0));
        // Nothing is left beside the user's file.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(world), {}), 1);
        const std::vector<HistoryEntry> history = store.ListHistory();
        ASSERT_EQ(history.size(), 1u);
        EXPECT_EQ(history[0].description,
                  (ChangeDescription{"test-change", c.name, CellRectangle{1, 2, 3, 4}}));
        EXPECT_EQ(history[0].bytesChanged, c.bytesChanged);
        ASSERT_EQ(history[0].files.size(), 1u);
        EXPECT_EQ(history[0].files[0].path, path);
        EXPECT_EQ(history[0].files[0].originalLength, c.size);
        EXPECT_EQ(history[0].files[0].newLength, Patched(before, c.rounds, 0).size());

        const UndoOutcome undo = store.UndoNewest(path);
        EXPECT_EQ(undo.result, UndoOutcome::Result::Undone) << undo.reason;
        EXPECT_EQ(test::ReadBytes(path), before);
        EXPECT_TRUE(store.ListHistory().empty());
        EXPECT_TRUE(test::JournalNames(store).empty());
    }
}

TEST_F(RollbackJournalTest, RollbackRestoresBytesAndLengthOfEveryFile) {
    const Bytes map = Pattern(3 << 20, 1);
    const Bytes index = Pattern(5000, 2);
    for (const bool explicitly : {true, false}) {
        SCOPED_TRACE(explicitly ? "Rollback" : "destructor");
        const std::string mapPath = Make("map0.mul", map);
        const std::string indexPath = Make("staidx0.mul", index);
        {
            BinaryFile mapFile;
            BinaryFile indexFile;
            ASSERT_TRUE(mapFile.Open(mapPath, BinaryFile::Mode::ReadWriteExisting));
            ASSERT_TRUE(indexFile.Open(indexPath, BinaryFile::Mode::ReadWriteExisting));
            Transaction change(store, ChangeDescription{"copy", "a change", std::nullopt});
            change.Protect(mapFile, 1000, 2 << 20);
            change.AddFile(indexFile);
            change.Seal();
            const Bytes fresh = Pattern(2 << 20, 3);
            mapFile.Seek(1000);
            mapFile.Write(fresh.data(), fresh.size());
            indexFile.Seek(7000);
            indexFile.Write(fresh.data(), 100);
            EXPECT_EQ(Journals().size(), 1u);
            if (explicitly) {
                change.Rollback();
                EXPECT_EQ(change.CurrentState(), Transaction::State::RolledBack);
            }
        }
        EXPECT_EQ(test::ReadBytes(mapPath), map);
        EXPECT_EQ(test::ReadBytes(indexPath), index);
        EXPECT_TRUE(test::JournalNames(store).empty());
        EXPECT_TRUE(store.ListHistory().empty());
    }
}

// Fails the nth BinaryFile call of any kind (and every later one when
// sticky), remembering which path the failure was for. The opening of the
// user's files comes before the change and is spared.
class CallFaults {
public:
    CallFaults(long nth, bool sticky, std::string spared)
        : nth(nth), sticky(sticky), spared(std::move(spared)) {
        seam::SetFileFaultHook(&CallFaults::Hook, this);
    }
    ~CallFaults() { seam::SetFileFaultHook(nullptr, nullptr); }

    long calls = 0;
    std::set<std::string> failedPaths;

private:
    static int Hook(void* context, seam::FileCall call, const std::string& fullPath) {
        auto& self = *static_cast<CallFaults*>(context);
        if (call == seam::FileCall::Open && fullPath.starts_with(self.spared)) {
            return 0;
        }
        ++self.calls;
        if (self.calls == self.nth || (self.sticky && self.calls > self.nth)) {
            self.failedPaths.insert(fullPath);
            return ENOSPC;
        }
        return 0;
    }

    long nth;
    bool sticky;
    std::string spared;
};

TEST_F(RollbackJournalTest, AFaultAtAnyCallLeavesTheOldFilesOrTheWholeChange) {
    const Bytes map = Pattern(150000, 21);
    const Bytes index = Pattern(3000, 22);
    const Rounds rounds = TwoFileRounds();
    long nth = 1;
    for (bool faulted = true; faulted; ++nth) {
        SCOPED_TRACE("fault at call " + std::to_string(nth));
        const std::string mapPath = Make("map0.mul", map);
        const std::string indexPath = Make("staidx0.mul", index);
        bool failed = false;
        {
            CallFaults faults(nth, false, world.string());
            try {
                ChangeFiles(store, {mapPath, indexPath}, rounds, "faulted");
            } catch (const FileException& failure) {
                failed = true;
                // The message names the file whose call failed, as every
                // file message does.
                ASSERT_EQ(faults.failedPaths.size(), 1u);
                const std::string& failedPath = *faults.failedPaths.begin();
                const std::string text = failure.what();
                EXPECT_TRUE(text == FileErrorText(FileErrorCause::DiskFull, failedPath) ||
                            text == FileErrorText(FileErrorCause::DiskFull, "") ||
                            text == FileErrorText(FileErrorCause::AccessDenied, failedPath))
                    << text;
            }
            faulted = faults.calls >= nth;
        }
        if (failed) {
            EXPECT_EQ(test::ReadBytes(mapPath), map);
            EXPECT_EQ(test::ReadBytes(indexPath), index);
            EXPECT_TRUE(store.ListHistory().empty());
            EXPECT_TRUE(Journals().empty());
        } else {
            EXPECT_EQ(test::ReadBytes(mapPath), Patched(map, rounds, 0));
            EXPECT_EQ(test::ReadBytes(indexPath), Patched(index, rounds, 1));
            EXPECT_EQ(store.ListHistory().size(), 1u);
            ASSERT_EQ(store.UndoNewest().result, UndoOutcome::Result::Undone);
        }
        std::filesystem::remove_all(store.Directory());
    }
    EXPECT_GT(nth, 40);  // every call of the change was failed once
}

TEST_F(RollbackJournalTest, WhenRollingBackFailsTooRecoveryFinishesIt) {
    const Bytes map = Pattern(150000, 31);
    const Bytes index = Pattern(3000, 32);
    const Rounds rounds = TwoFileRounds();
    long nth = 1;
    for (bool faulted = true; faulted; ++nth) {
        SCOPED_TRACE("faults from call " + std::to_string(nth));
        const std::string mapPath = Make("map0.mul", map);
        const std::string indexPath = Make("staidx0.mul", index);
        bool failed = false;
        {
            CallFaults faults(nth, true, world.string());
            try {
                ChangeFiles(store, {mapPath, indexPath}, rounds, "faulted");
            } catch (const FileException&) {
                failed = true;
            }
            faulted = faults.calls >= nth;
        }
        for (const RecoveryOutcome& outcome : store.RecoverAll()) {
            EXPECT_EQ(outcome.result, RecoveryOutcome::Result::RolledBack) << outcome.reason;
        }
        // A change whose commit was marked complete before the faults began
        // stays, even when the commit reported the failure of its last sync.
        const bool changed = test::ReadBytes(mapPath) != map;
        EXPECT_EQ(test::ReadBytes(mapPath), changed ? Patched(map, rounds, 0) : map);
        EXPECT_EQ(test::ReadBytes(indexPath), changed ? Patched(index, rounds, 1) : index);
        if (!failed) {
            EXPECT_TRUE(changed);
        }
        EXPECT_EQ(store.ListHistory().size(), changed ? 1u : 0u);
        EXPECT_TRUE(store.RecoverAll().empty());
        std::filesystem::remove_all(store.Directory());
    }
}

// A change whose program died after writing, before committing.
void Interrupt(const JournalStore& store, const std::vector<std::string>& paths,
               const Rounds& rounds) {
    const test::ChildEnd end = test::RunInChild(
        [&] { ChangeFiles(store, paths, rounds, "interrupted", Ending::ExitProcess); });
    ASSERT_TRUE(end.exited && end.exitStatus == 0);
}

TEST_F(RollbackJournalTest, AnInterruptedChangeIsRolledBackThroughAnyPathOfItsFiles) {
    const Bytes map = Pattern(150000, 41);
    const Bytes index = Pattern(3000, 42);
    const Rounds rounds = TwoFileRounds();
    for (const char* way : {"hard link", "held file", "recover all"}) {
        SCOPED_TRACE(way);
        const std::string mapPath = Make("map0.mul", map);
        const std::string indexPath = Make("staidx0.mul", index);
        Interrupt(store, {mapPath, indexPath}, rounds);
        ASSERT_EQ(test::ReadBytes(mapPath), Patched(map, rounds, 0));

        std::vector<RecoveryOutcome> outcomes;
        const std::string link = (world / "link.mul").string();
        if (way == std::string("hard link")) {
            std::filesystem::create_hard_link(indexPath, link);
            outcomes = store.RecoverFile(link);
            std::filesystem::remove(link);
        } else if (way == std::string("held file")) {
            BinaryFile held;
            ASSERT_TRUE(held.Open(mapPath, BinaryFile::Mode::ReadWriteExisting));
            outcomes = store.RecoverFile(held);
        } else {
            outcomes = store.RecoverAll();
        }
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].result, RecoveryOutcome::Result::RolledBack) << outcomes[0].reason;
        EXPECT_EQ(outcomes[0].files, (std::vector<std::string>{mapPath, indexPath}));
        EXPECT_EQ(outcomes[0].description->summary, "interrupted");
        EXPECT_EQ(test::ReadBytes(mapPath), map);
        EXPECT_EQ(test::ReadBytes(indexPath), index);
        EXPECT_TRUE(test::JournalNames(store).empty());
    }
    // Another file's recovery leaves a journal alone.
    const std::string mapPath = Make("map0.mul", map);
    const std::string other = Make("map1.mul", map);
    Interrupt(store, {mapPath}, {{Batch{{0, Pattern(10, 43)}}}});
    EXPECT_TRUE(store.RecoverFile(other).empty());
    EXPECT_EQ(Journals().size(), 1u);
}

TEST_F(RollbackJournalTest, UndoGoesBackOneChangeAtATimeNewestFirst) {
    const Bytes original = Pattern(50000, 51);
    const std::string path = Make("map0.mul", original);
    const std::string other = Make("map1.mul", original);
    std::vector<Bytes> states{original};
    for (std::uint32_t step = 0; step < 3; ++step) {
        const Rounds rounds{{Batch{{step * 1000u, Pattern(20000, 52 + step)}}}};
        ChangeFiles(store, {path}, rounds, "step " + std::to_string(step));
        states.push_back(Patched(states.back(), rounds, 0));
    }
    ChangeFiles(store, {other}, {{Batch{{0, Pattern(10, 60)}}}}, "other file");
    ASSERT_EQ(store.ListHistory().size(), 4u);
    EXPECT_EQ(store.ListHistory()[0].description.summary, "other file");

    for (int step = 2; step >= 0; --step) {
        const UndoOutcome undo = store.UndoNewest(path);
        ASSERT_EQ(undo.result, UndoOutcome::Result::Undone) << undo.reason;
        EXPECT_EQ(undo.entry->description.summary, "step " + std::to_string(step));
        EXPECT_EQ(test::ReadBytes(path), states[static_cast<std::size_t>(step)]);
    }
    EXPECT_EQ(store.UndoNewest(path).result, UndoOutcome::Result::NothingToUndo);
    // Without a file, the newest change of all.
    const UndoOutcome last = store.UndoNewest();
    ASSERT_EQ(last.result, UndoOutcome::Result::Undone);
    EXPECT_EQ(test::ReadBytes(other), original);
    EXPECT_EQ(store.UndoNewest().result, UndoOutcome::Result::NothingToUndo);
}

TEST_F(RollbackJournalTest, UndoIsRefusedWhenTheFileChangedSince) {
    struct Case {
        const char* name;
        std::function<void(Bytes&)> edit;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"a changed byte", [](Bytes& bytes) { bytes[1200] ^= 1; }, "no longer holds"},
        {"a byte past the change's end", [](Bytes& bytes) { bytes.push_back(0); },
         "bytes long, not"},
        {"cut short", [](Bytes& bytes) { bytes.resize(1100); }, "bytes long, not"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Make("map0.mul", Pattern(5000, 71));
        ChangeFiles(store, {path}, {{Batch{{1000, Pattern(1000, 72)}}}}, "copy");
        Bytes edited = test::ReadBytes(path);
        c.edit(edited);
        test::WriteBytes(path, edited);

        const UndoOutcome undo = store.UndoNewest(path);
        EXPECT_EQ(undo.result, UndoOutcome::Result::Refused);
        EXPECT_NE(undo.reason.find(path + " was changed after \"copy\""), std::string::npos)
            << undo.reason;
        EXPECT_NE(undo.reason.find(c.reason), std::string::npos) << undo.reason;
        EXPECT_EQ(test::ReadBytes(path), edited);
        EXPECT_EQ(store.ListHistory().size(), 1u);
        std::filesystem::remove_all(store.Directory());
    }
}

TEST_F(RollbackJournalTest, HistoryKeepsOnlyTheNewestChangesWithinItsLimits) {
    const std::string path = Make("map0.mul", Pattern(200000, 81));
    // Each journal holds 30000 old bytes and a little more.
    const std::uint64_t journalSize = 30000 + journal::kRecordsStart + 400;
    for (const HistoryLimits limits :
         {HistoryLimits{3, std::uint64_t{1} << 30}, HistoryLimits{20, 2 * journalSize}}) {
        const JournalStore bounded(store.Directory(), limits);
        for (std::uint32_t step = 0; step < 5; ++step) {
            ChangeFiles(bounded, {path}, {{Batch{{step * 100u, Pattern(30000, step)}}}},
                        "step " + std::to_string(step));
        }
        const std::vector<HistoryEntry> history = bounded.ListHistory();
        const std::size_t kept = limits.operations == 3 ? 3 : 2;
        ASSERT_EQ(history.size(), kept);
        for (std::size_t at = 0; at < kept; ++at) {
            EXPECT_EQ(history[at].description.summary, "step " + std::to_string(4 - at));
        }
        EXPECT_EQ(Journals().size(), kept);
        std::filesystem::remove_all(store.Directory());
    }
}

// Flips one byte of a journal file at offset (from the end when negative).
void Damage(const std::string& path, std::int64_t offset) {
    Bytes bytes = test::ReadBytes(path);
    const auto at = static_cast<std::size_t>(
        offset < 0 ? static_cast<std::int64_t>(bytes.size()) + offset : offset);
    bytes[at] ^= 0x40;
    test::WriteBytes(path, bytes);
}

TEST_F(RollbackJournalTest, ADamagedJournalIsReportedKeptAndNeverApplied) {
    const Bytes map = Pattern(100000, 91);
    const Rounds rounds{{Batch{{500, Pattern(40000, 92)}}}};
    struct Case {
        const char* name;
        std::int64_t offset;
        const char* damage;
    };
    const std::vector<Case> cases = {
        {"old bytes", journal::kRecordsStart + 2000, "checksum does not match"},
        {"state", 20, "state cannot be read"},
        {"file record", journal::kRecordsStart + 80, "checksum does not match"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Interrupted: recovery refuses to apply it.
        const std::string path = Make("map0.mul", map);
        Interrupt(store, {path}, rounds);
        ASSERT_EQ(Journals().size(), 1u);
        const std::string journalPath = (store.Directory() / Journals()[0]).string();
        Damage(journalPath, c.offset);
        const std::vector<RecoveryOutcome> outcomes = store.RecoverFile(path);
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].result, RecoveryOutcome::Result::Damaged);
        EXPECT_NE(outcomes[0].reason.find(c.damage), std::string::npos) << outcomes[0].reason;
        EXPECT_EQ(test::ReadBytes(path), Patched(map, rounds, 0));
        EXPECT_EQ(Journals().size(), 1u);
        std::filesystem::remove_all(store.Directory());
    }
    // Complete: undo refuses it.
    const std::string path = Make("map0.mul", map);
    ChangeFiles(store, {path}, rounds, "copy");
    Damage((store.Directory() / Journals()[0]).string(), journal::kRecordsStart + 2000);
    const UndoOutcome undo = store.UndoNewest(path);
    EXPECT_EQ(undo.result, UndoOutcome::Result::Refused);
    EXPECT_NE(undo.reason.find("checksum does not match"), std::string::npos) << undo.reason;
    EXPECT_EQ(test::ReadBytes(path), Patched(map, rounds, 0));
    EXPECT_EQ(Journals().size(), 1u);
}

TEST_F(RollbackJournalTest, JournalsLiveInThePrivateStateDirectory) {
    const char* savedState = std::getenv("XDG_STATE_HOME");
    const std::string saved = savedState != nullptr ? savedState : "";
    ::setenv("XDG_STATE_HOME", (dir.Path() / "xdg").c_str(), 1);
    EXPECT_EQ(JournalStore::DefaultDirectory(), dir.Path() / "xdg" / "kestrel");
    ::setenv("XDG_STATE_HOME", "relative/is/ignored", 1);
    EXPECT_EQ(JournalStore::DefaultDirectory(),
              std::filesystem::path(std::getenv("HOME")) / ".local" / "state" / "kestrel");
    if (savedState != nullptr) {
        ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_STATE_HOME");
    }

    ::umask(022);
    store.EnsureDirectory();
    for (const std::filesystem::path& made : {store.Directory().parent_path(), store.Directory()}) {
        struct stat status {};
        ASSERT_EQ(::stat(made.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0700u) << made;
    }
}

}  // namespace
}  // namespace kestrel
