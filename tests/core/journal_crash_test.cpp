#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "clientfiles/journal_store.h"
#include "support/crash_harness.h"
#include "support/journal_fixture.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Batch;
using test::Bytes;
using test::Patched;
using test::Pattern;
using test::Rounds;

// A change of several rounds, each sealed before its writes, that protects
// more than the journal gathers in memory, and a second file that grows: a
// program killed anywhere in it must leave, after recovery, either the old
// files or the whole change, byte for byte.
class JournalCrashTest : public ::testing::Test {
protected:
    JournalCrashTest()
        : store(dir.Path() / "state"), map(dir.File("map0.mul")), index(dir.File("staidx0.mul")) {}

    void Reset() {
        std::filesystem::remove_all(store.Directory());
        test::WriteBytes(map, oldMap);
        test::WriteBytes(index, oldIndex);
    }

    void Change() const { test::ChangeFiles(store, {map, index}, rounds, "crash"); }

    // After recovery: the old files with no history, or the whole change as
    // the one entry of the history.
    void ExpectOldOrWhole(bool mustBeWhole) {
        const Bytes gotMap = test::ReadBytes(map);
        const bool whole = gotMap != oldMap;
        EXPECT_EQ(gotMap, whole ? newMap : oldMap);
        EXPECT_EQ(test::ReadBytes(index), whole ? newIndex : oldIndex);
        EXPECT_EQ(store.ListHistory().size(), whole ? 1u : 0u);
        if (mustBeWhole) {
            EXPECT_TRUE(whole);
        }
    }

    test::TempDir dir;
    JournalStore store;
    std::string map;
    std::string index;
    const Bytes oldMap = Pattern(6 << 20, 1);
    const Bytes oldIndex = Pattern(40000, 2);
    const Rounds rounds{
        {Batch{{0, Pattern(5 << 20, 3)}}, Batch{{100, Pattern(5000, 4)}}},
        {Batch{{(5 << 20) + 10, Pattern(900000, 5)}}, Batch{{39000, Pattern(20000, 6)}}},
        {Batch{{1000, Pattern(3 << 20, 7)}}, Batch{}},
    };
    const Bytes newMap = Patched(oldMap, rounds, 0);
    const Bytes newIndex = Patched(oldIndex, rounds, 1);
};

TEST_F(JournalCrashTest, AKilledChangeIsRolledBackOrWhole) {
    // How many file calls a whole change makes, and how long it takes.
    Reset();
    long calls = 0;
    const auto start = std::chrono::steady_clock::now();
    {
        test::FileCallCounter counter;
        Change();
        calls = counter.Calls();
    }
    const auto duration = std::chrono::steady_clock::now() - start;
    ASSERT_GT(calls, 30);

    // Stopped just before each of (a spread of) its file calls.
    const long step = std::max(1L, calls / 60);
    int runs = 0;
    for (long stopAt = 1; stopAt <= calls + 1; stopAt += step, ++runs) {
        SCOPED_TRACE("stopped before call " + std::to_string(stopAt));
        Reset();
        const test::ChildEnd end = test::RunInChild([&] {
            test::FileCallCounter counter(stopAt);
            Change();
        });
        ASSERT_EQ(end.killed, stopAt <= calls);
        if (runs % 2 == 0) {
            for (const RecoveryOutcome& outcome : store.RecoverFile(index)) {
                EXPECT_EQ(outcome.result, RecoveryOutcome::Result::RolledBack) << outcome.reason;
            }
        } else {
            store.RecoverAll();
        }
        ExpectOldOrWhole(stopAt > calls);
    }
    EXPECT_GE(runs, 50);

    // Killed at random moments, in the middle of system calls too.
    std::mt19937 random(20240611);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(duration) * 5 / 4;
    std::uniform_int_distribution<long> moment(0, span.count());
    int whole = 0;
    for (int run = 0; run < 30; ++run) {
        const std::chrono::microseconds delay(moment(random));
        SCOPED_TRACE("killed after " + std::to_string(delay.count()) + " us");
        Reset();
        const test::ChildEnd end = test::RunInChild([&] { Change(); }, delay);
        EXPECT_TRUE(end.killed || (end.exited && end.exitStatus == 0));
        store.RecoverAll();
        ExpectOldOrWhole(false);
        whole += test::ReadBytes(map) == newMap ? 1 : 0;
    }
    EXPECT_LT(whole, 30);  // some moment fell before the commit
}

TEST_F(JournalCrashTest, AKilledUndoIsFinishedByRecovery) {
    Reset();
    Change();
    long calls = 0;
    {
        // Counted on a copy of the journal directory, undone in place.
        const std::filesystem::path saved = dir.Path() / "saved";
        std::filesystem::copy(store.Directory(), saved);
        test::FileCallCounter counter;
        ASSERT_EQ(store.UndoNewest(map).result, UndoOutcome::Result::Undone);
        calls = counter.Calls();
        std::filesystem::copy(saved, store.Directory());
        std::filesystem::remove_all(saved);
    }
    const long step = std::max(1L, calls / 15);
    for (long stopAt = 1; stopAt <= calls; stopAt += step) {
        SCOPED_TRACE("stopped before call " + std::to_string(stopAt));
        test::WriteBytes(map, newMap);
        test::WriteBytes(index, newIndex);
        const test::ChildEnd end = test::RunInChild([&] {
            test::FileCallCounter counter(stopAt);
            store.UndoNewest(index);
        });
        ASSERT_TRUE(end.killed);
        // An undo that had begun is finished; one that had not is still there.
        store.RecoverAll();
        const bool undone = store.ListHistory().empty();
        EXPECT_EQ(test::ReadBytes(map), undone ? oldMap : newMap);
        EXPECT_EQ(test::ReadBytes(index), undone ? oldIndex : newIndex);
        if (!undone) {
            ASSERT_EQ(store.UndoNewest(map).result, UndoOutcome::Result::Undone);
        }
        Reset();
        Change();
    }
}

}  // namespace
}  // namespace kestrel
