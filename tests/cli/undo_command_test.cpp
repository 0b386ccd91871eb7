#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "cli/recover_command.h"
#include "cli/undo_command.h"
#include "clientfiles/journal_format.h"
#include "clientfiles/journal_store.h"
#include "support/crash_harness.h"
#include "support/journal_fixture.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Batch;
using test::Bytes;
using test::Pattern;
using test::Rounds;

struct CommandRun {
    int status = 0;
    std::string out;
    std::string err;
};

template <typename Command>
CommandRun Call(Command command, const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    CommandRun run;
    run.status = command(arguments, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// The commands find the journals through XDG_STATE_HOME, set to a temporary
// directory for each test.
class UndoCommandTest : public ::testing::Test {
protected:
    UndoCommandTest() {
        const char* saved = std::getenv("XDG_STATE_HOME");
        hadState = saved != nullptr;
        savedState = hadState ? saved : "";
        ::setenv("XDG_STATE_HOME", (dir.Path() / "state").c_str(), 1);
        map = dir.File("map1.mul");
        test::WriteBytes(map, old);
    }
    ~UndoCommandTest() override {
        if (hadState) {
            ::setenv("XDG_STATE_HOME", savedState.c_str(), 1);
        } else {
            ::unsetenv("XDG_STATE_HOME");
        }
    }

    JournalStore Store() const { return JournalStore(JournalStore::DefaultDirectory()); }

    test::TempDir dir;
    bool hadState = false;
    std::string savedState;
    std::string map;
    const Bytes old = Pattern(20000, 1);
    const Rounds rounds{{Batch{{100, Pattern(3000, 2)}}}};
};

TEST_F(UndoCommandTest, ListsAndUndoesTheNewestChange) {
    EXPECT_EQ(Call(RunUndo, {"undo", "--list"}).out, "The undo history is empty.\n");
    test::ChangeFiles(Store(), {map}, rounds, "copy of 3 x 4 cells");

    const CommandRun list = Call(RunUndo, {"undo", "--list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("  test-change  " + map +
                            "  cells 1,2 3x4  3000 bytes  copy of 3 x 4 cells\n"),
              std::string::npos)
        << list.out;

    const CommandRun undo = Call(RunUndo, {"undo", map});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_NE(undo.out.find("Undid test-change \"copy of 3 x 4 cells\""), std::string::npos)
        << undo.out;
    EXPECT_EQ(test::ReadBytes(map), old);

    const CommandRun again = Call(RunUndo, {"undo", map});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "kestrel-cli: nothing to undo for " + map + "\n");
}

TEST_F(UndoCommandTest, RefusesToUndoOverAnotherProgramsChange) {
    test::ChangeFiles(Store(), {map}, rounds, "copy");
    Bytes edited = test::ReadBytes(map);
    edited[200] ^= 1;
    test::WriteBytes(map, edited);
    const CommandRun undo = Call(RunUndo, {"undo"});
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err, "kestrel-cli: cannot undo \"copy\": " + map +
                            " was changed after \"copy\": it no longer holds what that change "
                            "wrote\n");
    EXPECT_EQ(test::ReadBytes(map), edited);
}

TEST_F(UndoCommandTest, RecoverRestoresInterruptedChangesAndReportsDamagedJournals) {
    EXPECT_EQ(Call(RunRecover, {"recover"}).out, "Nothing to recover.\n");
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "intact");
        test::WriteBytes(map, old);
        const test::ChildEnd end = test::RunInChild(
            [&] { test::ChangeFiles(Store(), {map}, rounds, "copy", test::Ending::ExitProcess); });
        ASSERT_TRUE(end.exited);
        std::string journalPath;
        for (const auto& entry : std::filesystem::directory_iterator(Store().Directory())) {
            journalPath = entry.path().string();
        }
        if (damaged) {
            Bytes bytes = test::ReadBytes(journalPath);
            bytes[journal::kRecordsStart + 1000] ^= 1;
            test::WriteBytes(journalPath, bytes);
        }
        const CommandRun recover = Call(RunRecover, {"recover"});
        if (damaged) {
            EXPECT_EQ(recover.status, 1);
            EXPECT_EQ(recover.err, "kestrel-cli: could not roll back the change \"copy\" of " +
                                       map + " (journal " + journalPath +
                                       "): the journal cannot be used: a record's checksum does "
                                       "not match; it was not applied and was kept\n");
            EXPECT_NE(test::ReadBytes(map), old);
            EXPECT_TRUE(std::filesystem::exists(journalPath));
        } else {
            EXPECT_EQ(recover.status, 0) << recover.err;
            EXPECT_EQ(
                recover.out,
                "Restored " + map + " to what it held before the interrupted change \"copy\".\n");
            EXPECT_EQ(test::ReadBytes(map), old);
        }
    }
}

TEST_F(UndoCommandTest, RejectsBadCommandLines) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"undo", "--list", map}, {"undo", "a", "b"}, {"undo", "--all"}}) {
        EXPECT_EQ(Call(RunUndo, arguments).status, 2);
    }
    EXPECT_EQ(Call(RunRecover, {"recover", "x"}).status, 2);
}

}  // namespace
}  // namespace kestrel
