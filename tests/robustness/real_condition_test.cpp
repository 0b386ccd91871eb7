// kestrel-cli, the real program, run against failing conditions that the
// system makes: full disks and file-size limits, files another process holds,
// read-only files, directories and media, too few descriptors, FIFOs, and
// paths that are missing, empty, odd or that reach one file twice. Each must
// end with the right message and exit status, change no file it was not asked
// to change, and never hang or die of a signal.

#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "clientfiles/binary_file.h"
#include "clientfiles/byte_order.h"
#include "clientfiles/map_file.h"
#include "clientfiles/statics_file.h"
#include "operations/map_region_copy.h"
#include "operations/statics_export.h"
#include "program_run.h"
#include "support/map_fixture.h"
#include "support/statics_fixture.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;
using test::AppendStaticRecord;
using test::Bytes;
using test::ExpectedMapCopy;
using test::PatternBytes;
using test::ProgramResult;
using test::ProgramSetup;
using test::ReadBytes;
using test::ReadText;
using test::TempDir;
using test::WorldItemSection;
using test::WriteBytes;
using test::WriteText;

constexpr uid_t kNobody = 65534;

std::string FullPath(const std::string& path) {
    return fs::absolute(path).lexically_normal().string();
}

std::string Message(const std::string& text) {
    return "kestrel-cli: " + text + "\n";
}

// The option that names the file an open failure message is about.
std::string OptionOf(const std::string& message) {
    const std::pair<const char*, const char*> options[] = {
        {kCannotOpenSourceMap, "--source-map"},   {kCannotOpenDestMap, "--dest-map"},
        {kCannotOpenStaticsIndex, "--statics-index"}, {kCannotOpenStaticsData, "--statics-data"},
        {kCannotOpenItems, "--items"},
    };
    for (const auto& [text, option] : options) {
        if (message == text) {
            return option;
        }
    }
    return "";
}

// The value of option in arguments.
std::string ValueOf(const std::vector<std::string>& arguments, const std::string& option) {
    const auto at = std::find(arguments.begin(), arguments.end(), option);
    return at == arguments.end() || at + 1 == arguments.end() ? std::string() : *(at + 1);
}

// Everything under a directory, links not followed: what each entry is and
// holds. Two snapshots compare equal when no file was created, removed,
// emptied or changed.
void SnapshotInto(const fs::path& root, const fs::path& directory,
                  std::map<std::string, std::string>& entries) {
    for (const auto& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().lexically_relative(root).string();
        const fs::file_status status = fs::symlink_status(entry.path());
        if (fs::is_symlink(status)) {
            entries[name] = "link to " + fs::read_symlink(entry.path()).string();
        } else if (fs::is_directory(status)) {
            entries[name] = "directory";
            SnapshotInto(root, entry.path(), entries);
        } else if (fs::is_regular_file(status)) {
            entries[name] = "file " + ReadText(entry.path().string());
        } else {
            entries[name] = "other";
        }
    }
}

std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> entries;
    SnapshotInto(root, root, entries);
    return entries;
}

struct StaticItem {
    std::uint16_t tileId;
    std::uint8_t x, y;
    std::int8_t z;
    std::uint16_t hue;
};

// An index of three block columns whose block (0, 0) holds items, every other
// block none, and the data file with the items.
void WriteStatics(const std::string& indexPath, const std::string& dataPath,
                  const std::vector<StaticItem>& items) {
    Bytes index(3 * kBlockRows * kStaticIndexEntryBytes, 0xFF);
    StoreU32Le(index.data(), 0);
    StoreU32Le(index.data() + 4, static_cast<std::uint32_t>(items.size() * 7));
    Bytes data;
    for (const StaticItem& item : items) {
        AppendStaticRecord(data, item.tileId, item.x, item.y, item.z, item.hue);
    }
    WriteBytes(indexPath, index);
    WriteBytes(dataPath, data);
}

// The script that exporting block (0, 0) without offsets gives for items that
// all stand inside the rectangle.
std::string ScriptOf(const std::vector<StaticItem>& items) {
    std::string script;
    for (std::size_t number = 0; number < items.size(); ++number) {
        const StaticItem& item = items[number];
        script += WorldItemSection(static_cast<int>(number), item.tileId, item.x, item.y, item.z,
                                   item.hue);
    }
    return script;
}

std::vector<StaticItem> ManyItems(int count) {
    std::vector<StaticItem> items;
    for (int i = 0; i < count; ++i) {
        items.push_back({static_cast<std::uint16_t>(1000 + i), static_cast<std::uint8_t>(i % 8),
                         static_cast<std::uint8_t>(i / 8 % 8),
                         static_cast<std::int8_t>(i % 90 - 40), static_cast<std::uint16_t>(i * 7)});
    }
    return items;
}

class CliConditionTest : public ::testing::Test {
protected:
    CliConditionTest() {
        WriteBytes(File("source.mul"), source);
        WriteBytes(File("dest.mul"), PatternBytes(kMapBlockColumnBytes, 2));
        WriteStatics(File("staidx0.mul"), File("statics0.mul"), items);
        WriteText(File("items.wsc"), "old script");
    }

    std::string File(const std::string& name) const { return dir.File(name); }

    ProgramResult Cli(const std::vector<std::string>& arguments, const ProgramSetup& setup = {}) {
        return test::RunProgram(program, arguments, setup);
    }

    std::vector<std::string> CopyMap(const std::string& sourcePath, const std::string& destPath) {
        return {"copy-map", "--source-map", sourcePath, "--dest-map", destPath, "--max-x",
                "7",        "--max-y",      "9"};
    }
    std::vector<std::string> CopyStatics(const std::string& indexPath, const std::string& dataPath,
                                         const std::string& itemsPath) {
        return {"copy-statics", "--statics-index", indexPath, "--statics-data", dataPath, "--items",
                itemsPath,      "--max-x",         "7",       "--max-y",        "7"};
    }

    // Runs kestrel-cli and expects it to fail with message and change nothing.
    // A message about a file that cannot be opened is followed by the path as
    // given and the system's reason, "(PATH: REASON)": reason when given,
    // otherwise any.
    void ExpectRefused(const std::vector<std::string>& arguments, const std::string& message,
                       const ProgramSetup& setup = {}, const std::string& reason = "") {
        const auto before = Snapshot(dir.Path());
        const ProgramResult result = Cli(arguments, setup);
        ASSERT_TRUE(result.started) << result.setupError;
        EXPECT_TRUE(result.exited)
            << "signal " << result.signal << (result.timedOut ? ", hung" : "");
        EXPECT_EQ(result.status, 1);
        if (const std::string option = OptionOf(message); !option.empty()) {
            const std::string opening = "kestrel-cli: " + message + " (" + ValueOf(arguments, option) + ": ";
            if (!reason.empty()) {
                EXPECT_EQ(result.err, opening + reason + ")\n");
            } else {
                EXPECT_TRUE(result.err.starts_with(opening) && result.err.ends_with(")\n") &&
                            result.err.size() > opening.size() + 2)
                    << result.err;
            }
        } else {
            EXPECT_EQ(result.err, Message(message));
        }
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(Snapshot(dir.Path()), before) << "a file was changed";
    }

    TempDir dir;
    std::string program = KESTREL_CLI_PATH;
    Bytes source = PatternBytes(kMapBlockColumnBytes, 1);
    std::vector<StaticItem> items = {{600, 1, 2, -5, 0}, {601, 7, 7, 120, 65535}};
};

TEST_F(CliConditionTest, PathsThatCannotBeOpenedAreReportedAndChangeNothing) {
    fs::create_directory(File("a dir"));
    WriteText(File("plain"), "x");
    fs::create_symlink(File("source.mul"), File("source-link.mul"));
    fs::create_hard_link(File("source.mul"), File("source-hard.mul"));
    fs::create_symlink(File("loop-a"), File("loop-b"));
    fs::create_symlink(File("loop-b"), File("loop-a"));
    fs::create_symlink(File("nowhere.mul"), File("dangling.mul"));
    fs::create_symlink(File("staidx0.mul"), File("index-link.mul"));
    fs::create_hard_link(File("staidx0.mul"), File("index-hard.mul"));
    fs::create_symlink(File("statics0.mul"), File("data-link.mul"));
    const std::string longPath = File(std::string(5000, 'n'));
    const std::string source = File("source.mul");
    const std::string dest = File("dest.mul");
    const std::string index = File("staidx0.mul");
    const std::string data = File("statics0.mul");
    const std::string items = File("items.wsc");

    const std::string missing = "No such file or directory";
    const std::string isdir = "Is a directory";
    const std::string notdir = "Not a directory";
    const std::string loop = "Too many levels of symbolic links";
    const std::string tooLong = "File name too long";
    const std::string held = "Resource temporarily unavailable";
    const struct {
        std::vector<std::string> arguments;
        const char* message;
        std::string reason;
    } cases[] = {
        {CopyMap(File("missing.mul"), dest), kCannotOpenSourceMap, missing},
        {CopyMap(File("a dir"), dest), kCannotOpenSourceMap, isdir},
        {CopyMap(File("no such dir/map0.mul"), dest), kCannotOpenSourceMap, missing},
        {CopyMap("", dest), kCannotOpenSourceMap, missing},
        {CopyMap(File("loop-a"), dest), kCannotOpenSourceMap, loop},
        {CopyMap(File("plain/map0.mul"), dest), kCannotOpenSourceMap, notdir},
        {CopyMap(longPath, dest), kCannotOpenSourceMap, tooLong},
        {CopyMap(source, ""), kCannotOpenDestMap, missing},
        {CopyMap(source, File("a dir")), kCannotOpenDestMap, isdir},
        {CopyMap(source, File("no such dir/map0.mul")), kCannotOpenDestMap, missing},
        {CopyMap(source, File("dangling.mul")), kCannotOpenDestMap, missing},
        {CopyMap(source, dest + "/"), kCannotOpenDestMap, notdir},
        {CopyStatics(File("missing.mul"), data, items), kCannotOpenStaticsIndex, missing},
        {CopyStatics("", data, items), kCannotOpenStaticsIndex, missing},
        {CopyStatics(File("a dir"), data, items), kCannotOpenStaticsIndex, isdir},
        {CopyStatics(index, File("a dir"), items), kCannotOpenStaticsData, isdir},
        {CopyStatics(index, "", items), kCannotOpenStaticsData, missing},
        {CopyStatics(index, File("index-link.mul"), items), kCannotOpenStaticsData, held},
        {CopyStatics(index, data, ""), kCannotOpenItems, missing},
        {CopyStatics(index, data, File("a dir")), kCannotOpenItems, isdir},
        {CopyStatics(index, data, File("no such dir/items.wsc")), kCannotOpenItems, missing},
        {CopyStatics(index, data, File("plain/items.wsc")), kCannotOpenItems, notdir},
        {CopyStatics(index, data, longPath), kCannotOpenItems, tooLong},
        // The script must not empty a statics file it reaches by a link.
        {CopyStatics(index, data, File("index-hard.mul")), kCannotOpenItems, held},
        {CopyStatics(index, data, File("data-link.mul")), kCannotOpenItems, held},
        {CopyStatics(File("index-hard.mul"), data, index), kCannotOpenItems, held},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments).substr(0, 300));
        ExpectRefused(row.arguments, row.message, {}, row.reason);
    }
}

// The lock that keeps a file to one user at a time is taken by whichever
// process opened it first; here the test process holds each file in turn.
TEST_F(CliConditionTest, AFileAnotherProcessHoldsOpenIsReportedAndLeftAlone) {
    const struct {
        std::string held;
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {File("source.mul"), CopyMap(File("source.mul"), File("dest.mul")), kCannotOpenSourceMap},
        {File("dest.mul"), CopyMap(File("source.mul"), File("dest.mul")), kCannotOpenDestMap},
        {File("staidx0.mul"),
         CopyStatics(File("staidx0.mul"), File("statics0.mul"), File("items.wsc")),
         kCannotOpenStaticsIndex},
        {File("statics0.mul"),
         CopyStatics(File("staidx0.mul"), File("statics0.mul"), File("items.wsc")),
         kCannotOpenStaticsData},
        {File("items.wsc"),
         CopyStatics(File("staidx0.mul"), File("statics0.mul"), File("items.wsc")),
         kCannotOpenItems},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.held);
        BinaryFile holder;
        ASSERT_TRUE(holder.Open(row.held, BinaryFile::Mode::ReadWriteExisting));
        ExpectRefused(row.arguments, row.message, {}, "Resource temporarily unavailable");
    }
}

// A first kestrel-cli writes its script into a FIFO that nobody drains, so it
// stays in the middle of its export holding its files; a second one that
// wants them is refused at once. Drained, the first finishes normally.
TEST_F(CliConditionTest, ASecondKestrelCliIsRefusedTheFilesTheFirstHolds) {
    const std::vector<StaticItem> many = ManyItems(3000);  // far more than a pipe holds
    WriteStatics(File("staidx0.mul"), File("statics0.mul"), many);
    const std::string fifo = File("items.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    std::vector<std::string> arguments =
        CopyStatics(File("staidx0.mul"), File("statics0.mul"), fifo);
    const pid_t first =
        test::StartProgram(KESTREL_CLI_PATH, arguments, File("first.out"), File("first.err"));
    ASSERT_GT(first, 0);
    pollfd ready = {reader, POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 30000), 1) << "the first program wrote nothing";

    ExpectRefused(CopyStatics(File("staidx0.mul"), File("statics0.mul"), File("items.wsc")),
                  kCannotOpenStaticsIndex);
    ExpectRefused(CopyMap(File("statics0.mul"), File("dest.mul")), kCannotOpenSourceMap);

    std::string script;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(reader, buffer, sizeof buffer);
        if (got > 0) {
            script.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;  // the writer has closed the FIFO
        } else if (errno == EAGAIN) {
            ::poll(&ready, 1, 1000);
        } else {
            break;
        }
    }
    ::close(reader);
    const ProgramResult firstResult = test::WaitProgram(first, 60);
    EXPECT_TRUE(firstResult.exited);
    EXPECT_EQ(firstResult.status, 0) << ReadText(File("first.err"));
    EXPECT_EQ(script, ScriptOf(many));
}

TEST_F(CliConditionTest, HelpOrVersionTextThatCannotBeWrittenIsNoSuccess) {
    ProgramSetup full;
    full.standardOutput = "/dev/full";
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--version"}, {"copy-map", "--help"}, {"--help"}}) {
        const ProgramResult result = Cli(arguments, full);
        ASSERT_TRUE(result.started) << result.setupError;
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.status, 1) << arguments.front();
        EXPECT_EQ(result.err, "kestrel-cli: cannot write to standard output\n");
    }
}

TEST_F(CliConditionTest, AFullDeviceForTheScriptIsReportedWithTheDiskFullText) {
    ExpectRefused(CopyStatics(File("staidx0.mul"), File("statics0.mul"), "/dev/full"),
                  "Disk full while accessing /dev/full.");
}

// A file-size limit makes writes beyond it fail with EFBIG, as a full disk
// does; the program must report it (not die of SIGXFSZ) and keep what it
// wrote up to the limit. The names carry blanks and non-ASCII bytes.
TEST_F(CliConditionTest, AScriptThatOutgrowsTheFileSizeLimitKeepsWhatFitAndNamesTheFile) {
    const std::vector<StaticItem> many = ManyItems(200);
    WriteStatics(File("staidx0.mul"), File("statics0.mul"), many);
    const std::string script = ScriptOf(many);
    const std::string itemsPath = File("my items \xC3\xA4\xFF.wsc");
    constexpr rlim_t kLimit = 8000;
    ASSERT_GT(script.size(), kLimit);
    ProgramSetup limited;
    limited.fileSizeLimit = kLimit;
    const ProgramResult result =
        Cli(CopyStatics(File("staidx0.mul"), File("statics0.mul"), itemsPath), limited);
    ASSERT_TRUE(result.started) << result.setupError;
    ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, Message("Disk full while accessing " + FullPath(itemsPath) + "."));
    EXPECT_EQ(ReadText(itemsPath), script.substr(0, kLimit));
}

TEST_F(CliConditionTest, ADestinationMapThatOutgrowsTheFileSizeLimitKeepsTheCellsWritten) {
    const std::string growing = File("growing map0.mul");
    const Bytes start(196, 9);  // one whole block
    WriteBytes(growing, start);
    CopySettings settings;
    settings.maxX = 7;
    settings.maxY = 1023;  // 128 blocks down one block column: 25,088 bytes
    constexpr rlim_t kLimit = 16384;
    const Bytes expected = ExpectedMapCopy(source, start, settings);
    ASSERT_GT(expected.size(), kLimit);
    ProgramSetup limited;
    limited.fileSizeLimit = kLimit;
    const ProgramResult result = Cli({"copy-map", "--source-map", File("source.mul"), "--dest-map",
                                      growing, "--max-x", "7", "--max-y", "1023"},
                                     limited);
    ASSERT_TRUE(result.started) << result.setupError;
    ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, Message("Disk full while accessing " + FullPath(growing) + "."));
    EXPECT_EQ(ReadBytes(File("source.mul")), source);
    // The cells go down the block column in file order, so the file holds
    // everything up to (nearly) the limit.
    const Bytes after = ReadBytes(growing);
    EXPECT_LE(after.size(), kLimit);
    EXPECT_GE(after.size(), kLimit - 8);
    EXPECT_TRUE(std::equal(after.begin(), after.end(), expected.begin()))
        << "the cells written before the failure are not all there";
}

TEST_F(CliConditionTest, RunningOutOfFileDescriptorsIsAnOpenFailure) {
    // Standard input, output and error take three descriptors; the limit
    // leaves room for the files opened before the one refused.
    ProgramSetup fourFiles;
    fourFiles.openFilesLimit = 4;
    // Under the sanitizers: the leak check at exit and the dynamic type check
    // need descriptors of their own, which the limit does not leave them.
    TempDir options;
    WriteText(options.File("ubsan.supp"), "vptr_check:*\nvptr:*\n");
    fourFiles.environment = {"ASAN_OPTIONS=detect_leaks=0",
                             "UBSAN_OPTIONS=suppressions=" + options.File("ubsan.supp")};
    ExpectRefused(CopyMap(File("source.mul"), File("dest.mul")), kCannotOpenDestMap, fourFiles);
    ProgramSetup fiveFiles = fourFiles;
    fiveFiles.openFilesLimit = 5;
    ExpectRefused(CopyStatics(File("staidx0.mul"), File("statics0.mul"), File("items.wsc")),
                  kCannotOpenItems, fiveFiles);
    ExpectRefused(CopyStatics(File("staidx0.mul"), File("statics0.mul"), File("new.wsc")),
                  kCannotOpenItems, fiveFiles);
}

// Permission bits bind only a user without root's powers: as root the
// program runs as nobody for these cases.
class ReadOnlyTest : public CliConditionTest {
protected:
    void SetUp() override {
        if (::geteuid() == 0) {
            setup.user = kNobody;
            fs::permissions(dir.Path(),
                            fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
            for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
                ASSERT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0);
            }
            // A copy of the program where nobody may run it, wherever the
            // build tree lies.
            fs::permissions(programDir.Path(),
                            fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
            program = programDir.File("kestrel-cli");
            fs::copy_file(KESTREL_CLI_PATH, program);
            const ProgramResult probe = Cli({"--version"}, setup);
            if (!probe.started || probe.status != 0) {
                GTEST_SKIP() << "kestrel-cli cannot be run as an unprivileged user here: "
                             << probe.setupError << probe.err;
            }
        }
    }

    void MakeReadOnly(const std::string& path) {
        fs::permissions(path,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }

    TempDir programDir;
    ProgramSetup setup;
};

TEST_F(ReadOnlyTest, ReadOnlyFilesAreRefusedEvenWhenOnlyRead) {
    const std::string source = File("source.mul");
    const std::string dest = File("dest.mul");
    const std::string index = File("staidx0.mul");
    const std::string data = File("statics0.mul");
    const std::string items = File("items.wsc");
    for (const std::string& path : {source, dest, index, data, items}) {
        MakeReadOnly(path);
    }
    ExpectRefused(CopyMap(source, dest), kCannotOpenSourceMap, setup);
    ExpectRefused(CopyStatics(index, data, items), kCannotOpenStaticsIndex, setup);
    fs::permissions(source, fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(index, fs::perms::owner_write, fs::perm_options::add);
    ExpectRefused(CopyMap(source, dest), kCannotOpenDestMap, setup);
    ExpectRefused(CopyStatics(index, data, items), kCannotOpenStaticsData, setup);
    fs::permissions(data, fs::perms::owner_write, fs::perm_options::add);
    ExpectRefused(CopyStatics(index, data, items), kCannotOpenItems, setup);
}

TEST_F(ReadOnlyTest, AReadOnlyDirectoryTakesNoNewScriptButItsFilesStayWritable) {
    MakeReadOnly(dir.Path().string());
    ExpectRefused(CopyStatics(File("staidx0.mul"), File("statics0.mul"), File("new.wsc")),
                  kCannotOpenItems, setup);

    const ProgramResult result =
        Cli(CopyStatics(File("staidx0.mul"), File("statics0.mul"), File("items.wsc")), setup);
    ASSERT_TRUE(result.started) << result.setupError;
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadText(File("items.wsc")), ScriptOf(items));
}

// A read-only medium: the directory is bound read-only around the program,
// which needs root (for a private mount namespace).
TEST_F(CliConditionTest, FilesOnAReadOnlyMediumAreRefused) {
    fs::create_directory(File("medium"));
    for (const char* name :
         {"source.mul", "dest.mul", "staidx0.mul", "statics0.mul", "items.wsc"}) {
        fs::copy_file(File(name), File(std::string("medium/") + name));
    }
    ProgramSetup readOnly;
    readOnly.readOnlyMounts = {File("medium")};
    const ProgramResult probe = Cli({"--version"}, readOnly);
    if (!probe.started) {
        GTEST_SKIP() << "no read-only bind mount can be made here: " << probe.setupError;
    }
    const auto medium = [&](const char* name) { return File(std::string("medium/") + name); };
    ExpectRefused(CopyMap(medium("source.mul"), File("dest.mul")), kCannotOpenSourceMap, readOnly);
    ExpectRefused(CopyMap(File("source.mul"), medium("dest.mul")), kCannotOpenDestMap, readOnly);
    ExpectRefused(CopyStatics(medium("staidx0.mul"), File("statics0.mul"), File("items.wsc")),
                  kCannotOpenStaticsIndex, readOnly);
    ExpectRefused(CopyStatics(File("staidx0.mul"), File("statics0.mul"), medium("items.wsc")),
                  kCannotOpenItems, readOnly);
    ExpectRefused(CopyStatics(File("staidx0.mul"), File("statics0.mul"), medium("new.wsc")),
                  kCannotOpenItems, readOnly);
}

// Paths go to the system byte for byte: blanks, backslashes (which name no
// directory here: "e:\ultimaonline\map0.mul", the default, is one file name in
// the working directory) and bytes that are not ASCII, valid UTF-8 or not.
TEST_F(CliConditionTest, OddPathsAreUsedExactlyAsGiven) {
    const std::string defaultSource = "e:\\ultimaonline\\map0.mul";
    WriteBytes(File(defaultSource), source);
    const std::string dest = "dest\\map 0 \xC3\xA9.mul";
    const Bytes destBefore = PatternBytes(kMapBlockColumnBytes, 3);
    WriteBytes(File(dest), destBefore);
    ProgramSetup inDir;
    inDir.workingDirectory = dir.Path().string();
    const ProgramResult copied = Cli(
        {"copy-map", "--dest-map", dest, "--max-x", "7", "--max-y", "9", "--off-y", "3"}, inDir);
    ASSERT_TRUE(copied.started) << copied.setupError;
    EXPECT_EQ(copied.status, 0) << copied.err;
    CopySettings settings;
    settings.maxX = 7;
    settings.maxY = 9;
    settings.offY = 3;
    EXPECT_EQ(ReadBytes(File(dest)), ExpectedMapCopy(source, destBefore, settings));
    EXPECT_EQ(ReadBytes(File(defaultSource)), source);

    fs::rename(File("staidx0.mul"), File("st\xC3\xA4 idx\\0.mul"));
    fs::rename(File("statics0.mul"), File("\xFF\xFE data.mul"));
    const ProgramResult exported =
        Cli({"copy-statics", "--statics-index", "st\xC3\xA4 idx\\0.mul", "--statics-data",
             "\xFF\xFE data.mul", "--max-x", "7", "--max-y", "7"},
            inDir);
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(ReadText(File("items.wsc")), ScriptOf(items)) << "the default script path";
}

// A FIFO or a device given for a file must neither hang the program nor be
// taken for a good file.
TEST_F(CliConditionTest, FifosAndDevicesGivenAsFilesEndWithAMessageInsteadOfHanging) {
    const std::string fifo = File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string source = File("source.mul");
    const std::string index = File("staidx0.mul");
    const std::string data = File("statics0.mul");
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {CopyMap(fifo, File("dest.mul")), kSourceMapTooShort},
        {CopyMap("/dev/zero", File("dest.mul")), kSourceMapTooShort},
        {CopyMap(source, fifo), "Seek failed on an unnamed file"},
        {CopyStatics(fifo, data, File("items.wsc")), kStaticsIndexTooShort},
        {CopyStatics(index, fifo, File("items.wsc")), BadStaticsEntryMessage(0, 0)},
        {CopyStatics(index, data, fifo), kCannotOpenItems},  // a FIFO nobody reads
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        ProgramSetup quick;
        quick.timeoutSeconds = 20;
        ExpectRefused(row.arguments, row.message, quick);
    }
}

}  // namespace
}  // namespace kestrel
