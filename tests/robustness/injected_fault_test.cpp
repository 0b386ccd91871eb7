// A seek, read, write, close or length query that fails in the middle of an
// operation, made to fail through BinaryFile's test seam. Every case is run
// for the first, a middle and the last such call, counted on a clean run, so
// the tests hold however many calls an operation makes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <span>

#include "clientfiles/byte_order.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/journal_store.h"
#include "clientfiles/map_file.h"
#include "clientfiles/statics_file.h"
#include "file_faults.h"
#include "operations/map_region_copy.h"
#include "operations/statics_export.h"
#include "support/map_fixture.h"
#include "support/recording_ui.h"
#include "support/statics_fixture.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using seam::FileCall;
using test::AppendStaticRecord;
using test::Bytes;
using test::FileFaults;
using test::PatternBytes;
using test::ReadBytes;
using test::ReadText;
using test::RecordingUi;
using test::TempDir;
using test::WorldItemSection;
using test::WriteBytes;
using test::WriteText;
using Events = std::vector<std::string>;

// The full path a BinaryFile forms for path, as the seam and write errors see it.
std::string FullPath(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

// The first, a middle and the last of count calls.
std::set<long> Probes(long count) {
    return {1, (count + 1) / 2, count};
}

// Each listed file can be opened again, so nothing holds it any more.
bool AllReleased(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        BinaryFile file;
        if (!file.Open(path, BinaryFile::Mode::ReadWriteExisting)) {
            return false;
        }
    }
    return true;
}

struct FaultCase {
    FileCall call;
    const char* role;  // which file of the operation the call is made on
    int error;
    const char* text;  // %1 stands for the file's full path
};

std::string Expand(const char* pattern, const std::string& fullPath) {
    std::string text = pattern;
    if (const std::size_t at = text.find("%1"); at != std::string::npos) {
        text.replace(at, 2, fullPath);
    }
    return text;
}

const char* CallName(FileCall call) {
    switch (call) {
        case FileCall::Open:
            return "open";
        case FileCall::Length:
            return "length";
        case FileCall::Seek:
            return "seek";
        case FileCall::Read:
            return "read";
        case FileCall::Write:
            return "write";
        case FileCall::Close:
            return "close";
        case FileCall::Sync:
            return "sync";
        case FileCall::Truncate:
            return "truncate";
        case FileCall::Rename:
            return "rename";
        case FileCall::Remove:
            return "remove";
    }
    return "?";
}

// Every operation reads, writes and closes its files through BinaryFile; how
// it positions itself, and whether it asks for a file's length, is its own
// affair, so a run without such calls has nothing of that kind to fail.
bool MayBeLeftOut(FileCall call) {
    return call == FileCall::Seek || call == FileCall::Length;
}

// One operation under injected faults: how to put its files back as they were,
// how to run it, and what its files must hold afterwards.
struct FaultedOperation {
    std::function<std::string(const std::string& role)> pathOf;  // full path of a role's file
    std::vector<std::string> files;                              // every file it opens
    std::function<void()> reset;                                 // the files as before a run
    std::function<void()> run;
    std::function<void()> expectWhole;  // after a run without a failure
    // Rolling back after a failure makes more calls of the same kind.
    bool rollsBack = false;
    // After the nth of count calls of row failed.
    std::function<void(const FaultCase& row, long nth, long count)> expectAfterFailure;
};

// For each case, counts the calls of its kind on its file in a clean run, then
// makes the first, a middle and the last of them fail in turn: the failure
// leaves the operation as a FileException with the case's text, no call is
// made after it, the busy indicator has begun and ended without a message, and
// every file is released.
void ExpectEachFaultEndsTheOperation(const FaultedOperation& operation,
                                     std::span<const FaultCase> cases, RecordingUi& ui) {
    for (const FaultCase& row : cases) {
        const std::string path = operation.pathOf(row.role);
        FileFaults faults(row.call, path);
        operation.reset();
        operation.run();
        operation.expectWhole();
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
        const long count = faults.Calls();
        if (count == 0 && MayBeLeftOut(row.call)) {
            continue;
        }
        ASSERT_GT(count, 0) << CallName(row.call) << " on " << row.role;

        for (const long nth : Probes(count)) {
            SCOPED_TRACE(::testing::Message() << CallName(row.call) << " " << nth << " of " << count
                                              << " on the " << row.role);
            operation.reset();
            ui.events.clear();
            faults.FailAt(nth, row.error);
            std::string thrown = "(nothing)";
            try {
                operation.run();
            } catch (const FileException& failure) {
                thrown = failure.what();
            }
            EXPECT_TRUE(faults.Failed());
            EXPECT_EQ(thrown, Expand(row.text, path));
            if (!operation.rollsBack) {
                EXPECT_EQ(faults.Calls(), nth) << "the operation went on after the failure";
            }
            EXPECT_EQ(ui.events, (Events{"begin", "end"}));
            EXPECT_TRUE(AllReleased(operation.files));
            operation.expectAfterFailure(row, nth, count);
        }
    }
}

// ---------------------------------------------------------------------------

class MapCopyFaultTest : public ::testing::Test {
protected:
    MapCopyFaultTest() {
        settings.sourceMapPath = dir.File("source-map0.mul");
        settings.destMapPath = dir.File("dest-map0.mul");
        // Across a block column boundary and several block rows.
        settings.minX = 3;
        settings.maxX = 12;
        settings.minY = 5;
        settings.maxY = 40;
        settings.offX = 1;
        settings.offY = 14;
        settings.offZ = 10;
        WriteBytes(settings.sourceMapPath, source);
        expected = ExpectedAfterCopy();
    }

    std::string PathOf(const std::string& role) const {
        return FullPath(role == "source" ? settings.sourceMapPath : settings.destMapPath);
    }

    OperationOutcome Copy() {
        MapCopyOptions options;
        options.journalDirectory = journalDirectory;
        return CopyMapRegion(settings, ui, options);
    }

    // dest with the rectangle copied in, grown as needed.
    Bytes ExpectedAfterCopy() const {
        Bytes result = dest;
        for (int y = settings.minY; y <= settings.maxY; ++y) {
            for (int x = settings.minX; x <= settings.maxX; ++x) {
                const auto from = static_cast<std::size_t>(CellOffset(x, y));
                const auto to = static_cast<std::size_t>(CellOffset(
                    settings.offX + x - settings.minX, settings.offY + y - settings.minY));
                result.resize(std::max(result.size(), to + 3));
                result[to] = source[from];
                result[to + 1] = source[from + 1];
                result[to + 2] = static_cast<std::uint8_t>(source[from + 2] + settings.offZ);
            }
        }
        return result;
    }

    TempDir dir;
    Bytes source = PatternBytes(2 * kMapBlockColumnBytes, 1);
    Bytes dest = PatternBytes(2 * kMapBlockColumnBytes, 2);
    Bytes expected;
    CopySettings settings;
    RecordingUi ui;
    std::string journalDirectory = dir.File("journals");
    JournalStore store{journalDirectory};
};

TEST_F(MapCopyFaultTest, AFailingCallStopsTheCopyClosesBothFilesAndPutsTheOldBytesBack) {
    const FaultCase cases[] = {
        {FileCall::Read, "source", EIO,
         "A hardware I/O error was reported while accessing an unnamed file."},
        {FileCall::Seek, "source", EINVAL, "Seek failed on an unnamed file"},
        {FileCall::Seek, "dest", EOVERFLOW, "Seek failed on an unnamed file"},
        {FileCall::Write, "dest", ENOSPC, "Disk full while accessing %1."},
        {FileCall::Write, "dest", EIO, "A hardware I/O error was reported while accessing %1."},
        {FileCall::Sync, "dest", EIO, "A hardware I/O error was reported while accessing %1."},
        {FileCall::Length, "source", EIO,
         "A hardware I/O error was reported while accessing an unnamed file."},
        {FileCall::Close, "source", EIO,
         "A hardware I/O error was reported while accessing an unnamed file."},
        {FileCall::Close, "dest", ENOSPC, "Disk full while accessing an unnamed file."},
    };
    FaultedOperation copy;
    copy.pathOf = [&](const std::string& role) { return PathOf(role); };
    copy.files = {settings.sourceMapPath, settings.destMapPath};
    copy.reset = [&] { WriteBytes(settings.destMapPath, dest); };
    copy.run = [&] { Copy(); };
    copy.rollsBack = true;
    copy.expectWhole = [&] {
        ASSERT_EQ(ReadBytes(settings.destMapPath), expected) << "the clean run failed";
    };
    copy.expectAfterFailure = [&](const FaultCase& row, long, long) {
        EXPECT_EQ(ReadBytes(settings.sourceMapPath), source);
        // The files are closed after the copy is complete and durable: a
        // failing close comes too late to undo it. Any other failure puts
        // every old byte back.
        EXPECT_EQ(ReadBytes(settings.destMapPath), row.call == FileCall::Close ? expected : dest);
        EXPECT_TRUE(store.RecoverAll().empty()) << "an interrupted change was left behind";
    };
    ExpectEachFaultEndsTheOperation(copy, cases, ui);
}

// Every call of every kind on any file, the journal's included, failing in
// turn: the copy is either refused before it writes, or fails with the
// destination as before, or is complete; no journal is left to recover, and
// the undo history holds the copy exactly when it is complete.
TEST_F(MapCopyFaultTest, EveryFailingCallLeavesTheOldFileOrTheWholeCopy) {
    const FileCall calls[] = {FileCall::Open,     FileCall::Length, FileCall::Seek,
                              FileCall::Read,     FileCall::Write,  FileCall::Close,
                              FileCall::Sync,     FileCall::Truncate, FileCall::Rename,
                              FileCall::Remove};
    // A destination shorter than the copy's end, so that it grows.
    dest.resize(kMapBlockColumnBytes + 5 * kMapBlockBytes);
    expected = ExpectedAfterCopy();
    for (const FileCall call : calls) {
        FileFaults faults(call);
        WriteBytes(settings.destMapPath, dest);
        std::filesystem::remove_all(journalDirectory);
        Copy();
        ASSERT_EQ(ReadBytes(settings.destMapPath), expected) << "the clean run failed";
        const long count = faults.Calls();
        for (long nth = 1; nth <= count; ++nth) {
            SCOPED_TRACE(::testing::Message() << CallName(call) << " " << nth << " of " << count);
            WriteBytes(settings.destMapPath, dest);
            // Each run starts from an empty history, so the calls count the same.
            std::filesystem::remove_all(journalDirectory);
            faults.FailAt(nth, EIO);
            OperationOutcome outcome{OperationStatus::Refused, "(threw)", ""};
            bool threw = false;
            try {
                outcome = Copy();
            } catch (const FileException&) {
                threw = true;
            }
            EXPECT_TRUE(faults.Failed());
            faults.FailAt(0, 0);
            const Bytes after = ReadBytes(settings.destMapPath);
            if (!threw && outcome.status == OperationStatus::Done) {
                EXPECT_EQ(after, expected);
            } else if (after != expected) {
                EXPECT_EQ(after, dest) << "a failure left part of the copy";
            }
            EXPECT_TRUE(store.RecoverAll().empty()) << "an interrupted change was left behind";
            EXPECT_EQ(!store.ListHistory().empty(), after == expected)
                << "the undo history does not match the file";
            EXPECT_EQ(ReadBytes(settings.sourceMapPath), source);
        }
    }
}

// ---------------------------------------------------------------------------

// A statics index and data with items in five blocks of a 3 x 2 block
// rectangle, some inside the rectangle 2..21 x 1..14, some outside it.
class StaticsExportFaultTest : public ::testing::Test {
protected:
    struct Item {
        int bx, by;
        std::uint8_t x, y;
        std::int8_t z;
        std::uint16_t tileId, hue;
    };

    StaticsExportFaultTest() {
        settings.staticsIndexPath = dir.File("staidx0.mul");
        settings.staticsDataPath = dir.File("statics0.mul");
        settings.itemsPath = dir.File("items.wsc");
        settings.minX = 2;
        settings.maxX = 21;
        settings.minY = 1;
        settings.maxY = 14;
        settings.offX = 300;
        settings.offY = 40;
        settings.offZ = -20;
        const std::vector<Item> items = {
            {0, 0, 3, 1, 5, 100, 1},     {0, 0, 1, 1, 0, 101, 2},  // (1, 1) is outside
            {0, 0, 7, 7, -9, 102, 3},    {1, 0, 0, 0, 0, 103, 0},    {1, 0, 6, 2, 127, 104, 65535},
            {1, 0, 5, 0, 3, 105, 7},     {2, 0, 5, 3, 1, 106, 8},     // (21, 3) is inside
            {2, 0, 6, 3, 1, 107, 8},     {0, 1, 2, 6, -128, 108, 9},  // (2, 14) inside, (22, 3) not
            {0, 1, 2, 7, 4, 109, 10},    {2, 1, 0, 0, 2, 110, 11},   {2, 1, 1, 5, 2, 111, 12},
            {1, 1, 3, 3, 60, 65535, 13},
        };
        Bytes index(3 * kBlockRows * 12, 0xFF);
        Bytes data;
        for (int bx = 0; bx < 3; ++bx) {
            for (int by = 0; by < 2; ++by) {
                const std::size_t start = data.size();
                for (const Item& item : items) {
                    if (item.bx == bx && item.by == by) {
                        AppendStaticRecord(data, item.tileId, item.x, item.y, item.z, item.hue);
                    }
                }
                std::uint8_t* entry = index.data() + StaticIndexOffset(bx, by);
                StoreU32Le(entry, static_cast<std::uint32_t>(start));
                StoreU32Le(entry + 4, static_cast<std::uint32_t>(data.size() - start));
            }
        }
        WriteBytes(settings.staticsIndexPath, index);
        WriteBytes(settings.staticsDataPath, data);
        indexBytes = index;
        dataBytes = data;
        // Walk order: block rows, then blocks along the row, then file order.
        int number = 0;
        for (int by = 0; by < 2; ++by) {
            for (int bx = 0; bx < 3; ++bx) {
                for (const Item& item : items) {
                    const int column = bx * 8 + item.x;
                    const int row = by * 8 + item.y;
                    if (item.bx != bx || item.by != by || column < settings.minX ||
                        column > settings.maxX || row < settings.minY || row > settings.maxY) {
                        continue;
                    }
                    script += WorldItemSection(
                        number, item.tileId, settings.offX + column - settings.minX,
                        settings.offY + row - settings.minY, settings.offZ + item.z, item.hue);
                    ++number;
                }
            }
        }
    }

    std::string PathOf(const std::string& role) const {
        return FullPath(role == "index"  ? settings.staticsIndexPath
                        : role == "data" ? settings.staticsDataPath
                                         : settings.itemsPath);
    }

    TempDir dir;
    CopySettings settings;
    Bytes indexBytes;
    Bytes dataBytes;
    std::string script;
    RecordingUi ui;
};

TEST_F(StaticsExportFaultTest, AFailingCallStopsTheExportClosesEveryFileAndKeepsTheSections) {
    const FaultCase cases[] = {
        {FileCall::Read, "index", EIO,
         "A hardware I/O error was reported while accessing an unnamed file."},
        {FileCall::Read, "data", EIO,
         "A hardware I/O error was reported while accessing an unnamed file."},
        {FileCall::Seek, "index", EINVAL, "Seek failed on an unnamed file"},
        {FileCall::Seek, "data", EINVAL, "Seek failed on an unnamed file"},
        {FileCall::Write, "items", ENOSPC, "Disk full while accessing %1."},
        {FileCall::Write, "items", EDQUOT, "Disk full while accessing %1."},
        {FileCall::Length, "data", EIO,
         "A hardware I/O error was reported while accessing an unnamed file."},
        {FileCall::Close, "index", EIO,
         "A hardware I/O error was reported while accessing an unnamed file."},
        {FileCall::Close, "items", EIO,
         "A hardware I/O error was reported while accessing an unnamed file."},
    };
    ASSERT_GT(script.size(), 0u);
    FaultedOperation exportStatics;
    exportStatics.pathOf = [&](const std::string& role) { return PathOf(role); };
    exportStatics.files = {settings.staticsIndexPath, settings.staticsDataPath, settings.itemsPath};
    exportStatics.reset = [&] { WriteText(settings.itemsPath, "old script"); };
    exportStatics.run = [&] { ExportStatics(settings, ui); };
    exportStatics.expectWhole = [&] {
        ASSERT_EQ(ReadText(settings.itemsPath), script) << "the clean run failed";
    };
    exportStatics.expectAfterFailure = [&](const FaultCase& row, long nth, long count) {
        EXPECT_EQ(ReadBytes(settings.staticsIndexPath), indexBytes);
        EXPECT_EQ(ReadBytes(settings.staticsDataPath), dataBytes);
        // The script is the old one (the failure came before it was opened)
        // or the sections written up to the failure: a prefix of the whole.
        const std::string after = ReadText(settings.itemsPath);
        if (after != "old script") {
            EXPECT_EQ(after, script.substr(0, after.size())) << "garbage in the script";
        }
        if (row.call == FileCall::Close && row.role == std::string("items")) {
            EXPECT_EQ(after, script) << "a failed close lost written sections";
        }
        if (row.call == FileCall::Write) {
            EXPECT_LT(after.size(), script.size());
            if (nth == count && count > 1) {
                EXPECT_GT(after.size(), 0u) << "the writes before the failing one were lost";
            }
        }
    };
    ExpectEachFaultEndsTheOperation(exportStatics, cases, ui);
}

}  // namespace
}  // namespace kestrel
