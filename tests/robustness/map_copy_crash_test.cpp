// The real kestrel-cli killed with SIGKILL at many points of a whole-map copy:
// whatever Kestrel command comes next finds the destination either as it was
// or holding the whole copy, byte for byte.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <cstdio>

#include "clientfiles/journal_store.h"
#include "clientfiles/map_file.h"
#include "operations/map_region_copy.h"
#include "support/crash_harness.h"
#include "support/map_fixture.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ChildEnd;
using test::PatternBytes;
using test::ReadBytes;
using test::WriteBytes;

// A directory in memory where there is one (so that 50 whole-map copies take
// seconds), otherwise in the temporary directory. Killing the
// process, not the machine, is what is tested: the page cache is what counts.
class WorkDirectory {
public:
    WorkDirectory() {
        std::string pattern =
            ((fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
             "kestrel-crash-XXXXXX")
                .string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a work directory");
        }
        path = pattern;
    }
    ~WorkDirectory() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string File(const std::string& name) const { return (path / name).string(); }

private:
    fs::path path;
};

class StateHome {
public:
    explicit StateHome(const std::string& directory) {
        if (const char* value = ::getenv("XDG_STATE_HOME")) {
            saved = value;
        }
        ::setenv("XDG_STATE_HOME", directory.c_str(), 1);
    }
    ~StateHome() {
        if (saved) {
            ::setenv("XDG_STATE_HOME", saved->c_str(), 1);
        } else {
            ::unsetenv("XDG_STATE_HOME");
        }
    }

private:
    std::optional<std::string> saved;
};

// The whole file, read in one go.
Bytes ReadWhole(const std::string& path) {
    Bytes bytes(fs::file_size(path));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr || std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        throw std::runtime_error("cannot read " + path);
    }
    std::fclose(file);
    return bytes;
}

TEST(MapCopyCrashTest, AKilledWholeMapCopyLeavesTheOldFileOrTheWholeCopy) {
    WorkDirectory dir;
    const StateHome state(dir.File("state"));
    CopySettings settings;
    // A whole Tokuno map (1448 x 1448 cells, told from the files' length):
    // every phase of a copy, at a twelfth of the classic map's bytes.
    constexpr int kSide = 1448;
    constexpr auto kMapBytes = std::size_t{kSide / 8} * (kSide / 8) * kMapBlockBytes;
    settings.sourceMapPath = dir.File("source-map4.mul");
    settings.destMapPath = dir.File("dest-map4.mul");
    settings.minX = 0;
    settings.maxX = kSide - 1;
    settings.minY = 0;
    settings.maxY = kSide - 1;
    settings.offZ = -7;
    const std::string program = KESTREL_CLI_PATH;
    const Bytes before = PatternBytes(kMapBytes, 2);
    WriteBytes(settings.sourceMapPath, PatternBytes(kMapBytes, 1));
    WriteBytes(settings.destMapPath, before);
    const std::vector<std::string> copy = {
        program,   "copy-map",          "--source-map", settings.sourceMapPath,
        "--dest-map", settings.destMapPath, "--max-x",  std::to_string(kSide - 1),
        "--max-y", std::to_string(kSide - 1), "--off-z", "-7"};

    // The same copy in this process counts the file system calls that
    // kestrel-cli makes, and gives the complete result.
    long calls = 0;
    {
        test::RecordingUi ui;
        MapCopyOptions options;
        options.journalDirectory = dir.File("state/kestrel");
        const test::FileCallCounter counter;
        ASSERT_EQ(CopyMapRegion(settings, ui, options).status, OperationStatus::Done);
        calls = counter.Calls();
    }
    const Bytes after = ReadWhole(settings.destMapPath);
    ASSERT_NE(after, before);
    ASSERT_GT(calls, 10);

    // Stop points spread over every call, from opening the files to marking
    // the copy complete and closing them, and a few past the end.
    constexpr long kRuns = 50;
    int old = 0;
    int whole = 0;
    int killed = 0;
    bool destIsOld = false;
    for (long run = 0; run < kRuns + 3; ++run) {
        const long stopAt = 1 + calls * run / kRuns;
        SCOPED_TRACE(::testing::Message() << "killed at call " << stopAt << " of " << calls);
        if (!destIsOld) {
            WriteBytes(settings.destMapPath, before);
        }
        fs::remove_all(dir.File("state"));
        killed += test::RunProgram(copy, {"KESTREL_TEST_KILL_AT_FILE_CALL=" + std::to_string(stopAt)})
                      .killed;
        // Any command that opens the file to change it, or recover.
        const std::vector<std::string> next =
            run % 2 == 0 ? std::vector<std::string>{program, "recover"}
                         : std::vector<std::string>{program,      "copy-map", "--dry-run",
                                                    "--source-map", settings.sourceMapPath,
                                                    "--dest-map",   settings.destMapPath,
                                                    "--max-x",      "7"};
        const ChildEnd checked = test::RunProgram(next, {});
        ASSERT_TRUE(checked.exited);
        EXPECT_EQ(checked.exitStatus, 0);
        const Bytes now = ReadWhole(settings.destMapPath);
        destIsOld = now == before;
        old += destIsOld;
        whole += now == after;
        ASSERT_TRUE(now == before || now == after) << "the destination is neither old nor whole";
        const JournalStore store(dir.File("state/kestrel"));
        EXPECT_TRUE(store.RecoverAll().empty());
        // Nothing is left but the copy's own entry in the undo history.
        std::size_t left = 0;
        if (fs::is_directory(store.Directory())) {
            left = static_cast<std::size_t>(std::distance(
                fs::directory_iterator(store.Directory()), fs::directory_iterator()));
        }
        EXPECT_EQ(left, now == after ? 1u : 0u);
    }
    // The kills fell before, during and after the change.
    EXPECT_GE(killed, kRuns);
    EXPECT_GT(old, kRuns / 4);
    EXPECT_GT(whole, 2);
    RecordProperty("killed", killed);
    RecordProperty("old", old);
    RecordProperty("whole", whole);
}

}  // namespace
}  // namespace kestrel
