#include "cli/cli_app.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "clientfiles/map_file.h"
#include "operations/settings_exchange.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::ReadText;
using test::TempDir;
using test::WriteBytes;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunKestrelCli(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(arguments, out, err);
    return {status, out.str(), err.str()};
}

TEST(CliTest, VersionAndHelpAnswerOnStandardOutput) {
    const Outcome version = RunKestrelCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "kestrel-cli " KESTREL_VERSION "\n");

    // Every option's line, with the default of the settings record.
    const Outcome help = RunKestrelCli({"copy-statics", "--help"});
    EXPECT_EQ(help.status, 0);
    const CopySettings defaults;
    for (const FieldDescription& field : kSettingsFields) {
        const std::size_t line = help.out.find("\n  " + std::string(field.option) + " VALUE ");
        ASSERT_NE(line, std::string::npos) << field.option;
        const std::string text = help.out.substr(line + 1, help.out.find('\n', line + 1) - line);
        EXPECT_NE(text.find(std::string(field.help)), std::string::npos) << text;
        EXPECT_NE(text.find("(default: " + FieldText(defaults, field.field) + ")"),
                  std::string::npos)
            << text;
    }
    EXPECT_EQ(help.err, "");
}

TEST(CliTest, ABadCommandLineGivesUsageAndStatusTwo) {
    // Without a known command, the general usage; after a bad option of a
    // command, that command's usage with its options.
    const struct {
        std::vector<std::string> arguments;
        const char* usage;
    } cases[] = {
        {{}, "Usage: kestrel-cli COMMAND"},
        {{"copy-everything"}, "Usage: kestrel-cli COMMAND"},
        {{"copy-map", "--max-z", "3"}, "Usage: kestrel-cli copy-map [OPTION VALUE]..."},
        {{"copy-map", "stray"}, "Usage: kestrel-cli copy-map [OPTION VALUE]..."},
        {{"copy-map", "--off-z"}, "Usage: kestrel-cli copy-map [OPTION VALUE]..."},
        {{"copy-statics", "--dry-run"}, "Usage: kestrel-cli copy-statics [OPTION VALUE]..."},
        {{"make-sample", "--colour"}, "Usage: kestrel-cli make-sample DIR"},
        {{"make-sample", "dir", "--seed"}, "Usage: kestrel-cli make-sample DIR"},
        {{"undo", "--all"}, "Usage: kestrel-cli undo [FILE]"},
        {{"recover", "--force"}, "Usage: kestrel-cli recover"},
        {{"info", "--all"}, "Usage: kestrel-cli info FILE..."},
        {{"copy-map", "--dest-size"}, "Usage: kestrel-cli copy-map [OPTION VALUE]..."},
    };
    for (const auto& row : cases) {
        const Outcome outcome = RunKestrelCli(row.arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_NE(outcome.err.find(row.usage), std::string::npos) << outcome.err;
        const bool general = row.arguments.size() < 2;
        EXPECT_EQ(outcome.err.find("Commands:") != std::string::npos, general) << outcome.err;
        if (!general) {
            EXPECT_NE(outcome.err.find("  --help "), std::string::npos) << "no options listed";
        }
        EXPECT_EQ(outcome.out, "");
    }
}

TEST(CliTest, VersionIsAnsweredAfterEveryCommandAsAtTheTopLevel) {
    for (const char* command :
         {"copy-map", "copy-statics", "make-sample", "undo", "recover", "info", "render",
          "transplant"}) {
        const Outcome outcome = RunKestrelCli({command, "--version"});
        EXPECT_EQ(outcome.status, 0) << command << ": " << outcome.err;
        EXPECT_EQ(outcome.out, "kestrel-cli " KESTREL_VERSION "\n") << command;
        EXPECT_EQ(outcome.err, "") << command;
    }
    // A value that reads "--version" is still a value.
    const Outcome asValue = RunKestrelCli({"copy-map", "--items", "--version", "--max-x", "x"});
    EXPECT_EQ(asValue.status, 2);
    EXPECT_EQ(asValue.out, "");
}

TEST(CliTest, TheFirstRejectedValueInExchangeOrderIsReportedWithItsOption) {
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"--max-x", "6144"},
         "kestrel-cli: --max-x: Please enter an integer between 0 and 6143.\n"},
        {{"--off-z=-257"}, "kestrel-cli: --off-z: Please enter an integer between -256 and 256.\n"},
        {{"--min-y", ""}, "kestrel-cli: --min-y: Please enter an integer.\n"},
        {{"--off-y", "99999999999"},
         "kestrel-cli: --off-y: Please enter an integer between 0 and 4095.\n"},
        // Max. X is taken before Min. X whatever the order on the command line.
        {{"--min-x", "abc", "--max-x", "6144"},
         "kestrel-cli: --max-x: Please enter an integer between 0 and 6143.\n"},
        {{"--min-x", "abc", "--max-x", "5"}, "kestrel-cli: --min-x: Please enter an integer.\n"},
    };
    for (const auto& row : cases) {
        std::vector<std::string> arguments = {"copy-map"};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        const Outcome outcome = RunKestrelCli(arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.err, row.message);
    }
}

class CliCopyTest : public ::testing::Test {
protected:
    CliCopyTest() {
        source = Bytes(kMapBlockColumnBytes, 0);
        for (std::size_t i = 0; i < source.size(); ++i) {
            source[i] = static_cast<std::uint8_t>(i % 251);
        }
        WriteBytes(dir.File("source.mul"), source);
        WriteBytes(dir.File("dest.mul"), Bytes(kMapBlockColumnBytes, 0));
    }
    TempDir dir;
    Bytes source;
};

TEST_F(CliCopyTest, CopyMapTakesValuesVerbatimAndSucceedsSilently) {
    const Outcome outcome =
        RunKestrelCli({"copy-map", "--source-map", dir.File("source.mul"),
                       "--dest-map=" + dir.File("dest.mul"), "--min-x", "+1", "--max-x", " 2 ",
                       "--min-y", "0", "--max-y", "0", "--off-x", "5", "--off-z", "-5"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out + outcome.err, "");
    const Bytes dest = ReadBytes(dir.File("dest.mul"));
    for (int x = 1; x <= 2; ++x) {
        const auto from = static_cast<std::size_t>(CellOffset(x, 0));
        const auto to = static_cast<std::size_t>(CellOffset(x + 4, 0));
        EXPECT_EQ(dest[to], source[from]);
        EXPECT_EQ(dest[to + 1], source[from + 1]);
        EXPECT_EQ(dest[to + 2], static_cast<std::uint8_t>(source[from + 2] - 5));
    }
}

TEST_F(CliCopyTest, AnOperationsMessageGoesToStandardErrorWithStatusOne) {
    const Outcome defaults = RunKestrelCli({"copy-map"});
    EXPECT_EQ(defaults.status, 1);
    // The message as the dialog shows it, then the path as given and the
    // system's reason.
    EXPECT_EQ(defaults.err,
              "kestrel-cli: Error: cannot open source map0.mul! "
              "(e:\\ultimaonline\\map0.mul: No such file or directory)\n");

    // One file as both is a move within it, not a second open.
    const Outcome sameFile =
        RunKestrelCli({"copy-map", "--source-map", dir.File("source.mul"), "--dest-map",
                       dir.File("source.mul"), "--max-x", "7", "--off-y", "3"});
    EXPECT_EQ(sameFile.status, 0);
    EXPECT_EQ(sameFile.err, "");

    const Outcome noDirectory = RunKestrelCli(
        {"copy-map", "--source-map", dir.File("source.mul"), "--dest-map", "/no/such/dir/x.mul"});
    EXPECT_EQ(noDirectory.status, 1);
    EXPECT_EQ(noDirectory.err,
              "kestrel-cli: Error: cannot open destination map0.mul! "
              "(/no/such/dir/x.mul: No such file or directory)\n");
}

TEST_F(CliCopyTest, ARefusedCopyEndsWithStatusOneAndItsMessageAlone) {
    WriteBytes(dir.File("short.mul"), Bytes(kMapBlockBytes, 1));  // one block
    const Outcome outcome = RunKestrelCli({"copy-map", "--source-map", dir.File("short.mul"),
                                           "--dest-map", dir.File("dest.mul"), "--max-x", "7"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "kestrel-cli: Error: source map0.mul is too short for the copy rectangle!\n");
    EXPECT_EQ(ReadBytes(dir.File("dest.mul")), Bytes(kMapBlockColumnBytes, 0));
}

TEST_F(CliCopyTest, AFileErrorIsReportedWithItsTextAndStatusOne) {
    const Outcome outcome = RunKestrelCli({"copy-map", "--source-map", dir.File("source.mul"),
                                           "--dest-map", "/dev/full", "--max-x", "7"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "kestrel-cli: Disk full while accessing /dev/full.\n");
}

TEST_F(CliCopyTest, CopyStaticsUsesPathsExactlyAsGiven) {
    // An index whose first block has one item, and paths ending in blanks.
    Bytes index(3 * 512 * 12, 0xFF);
    const Bytes entry = {0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0};
    std::copy(entry.begin(), entry.end(), index.begin());
    WriteBytes(dir.File("staidx0.mul "), index);
    WriteBytes(dir.File(" statics0.mul"), {0x58, 0x02, 1, 2, 0xFB, 0, 0});
    const Outcome outcome = RunKestrelCli(
        {"copy-statics", "--statics-index", dir.File("staidx0.mul "), "--statics-data",
         dir.File(" statics0.mul"), "--items", dir.File("out put.wsc "), "--off-x", "100"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(ReadText(dir.File("out put.wsc ")),
              "SECTION WORLDITEM 0\r\n{\r\nSERIAL 1073741824\r\nID 600\r\nX 101\r\nY 2\r\n"
              "Z -5\r\nTYPE 255\r\nCOLOR 0\r\n}\r\n");
}

// The real program, as a script would run it.
TEST_F(CliCopyTest, TheProgramExitsWithTheStatusAndWritesTheMessage) {
    const std::string errPath = dir.File("stderr.txt");
    const std::string command = std::string("'") + KESTREL_CLI_PATH + "' copy-map --source-map '" +
                                dir.File("missing.mul") + "' 2>'" + errPath + "'";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_EQ(ReadText(errPath), "kestrel-cli: Error: cannot open source map0.mul! (" +
                                     dir.File("missing.mul") + ": No such file or directory)\n");
}

}  // namespace
}  // namespace kestrel
