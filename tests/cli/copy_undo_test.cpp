// Copy Map on the command line with its journal: dry runs and their summary,
// undo of one and of several copies, and an undo refused after an outside
// change.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

#include "cli/cli_app.h"
#include "clientfiles/map_file.h"
#include "support/map_fixture.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::PatternBytes;
using test::Rectangle;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome Cli(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(arguments, out, err);
    return {status, out.str(), err.str()};
}

// The journals go to a directory of the test's own.
class CopyUndoTest : public ::testing::Test {
protected:
    CopyUndoTest() {
        if (const char* value = std::getenv("XDG_STATE_HOME")) {
            savedState = value;
        }
        ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
        WriteBytes(sourcePath, source);
        WriteBytes(destPath, dest);
    }
    ~CopyUndoTest() override {
        if (savedState) {
            ::setenv("XDG_STATE_HOME", savedState->c_str(), 1);
        } else {
            ::unsetenv("XDG_STATE_HOME");
        }
    }

    std::vector<std::string> CopyArguments(const CopySettings& settings) const {
        return {"copy-map",
                "--source-map", sourcePath,
                "--dest-map",   destPath,
                "--min-x",      std::to_string(settings.minX),
                "--max-x",      std::to_string(settings.maxX),
                "--min-y",      std::to_string(settings.minY),
                "--max-y",      std::to_string(settings.maxY),
                "--off-x",      std::to_string(settings.offX),
                "--off-y",      std::to_string(settings.offY),
                "--off-z",      std::to_string(settings.offZ)};
    }


    std::optional<std::string> savedState;
    TempDir dir;
    std::string sourcePath = dir.File("source-map0.mul");
    std::string destPath = dir.File("dest-map0.mul");
    Bytes source = PatternBytes(2 * kMapBlockColumnBytes, 1);
    Bytes dest = PatternBytes(2 * kMapBlockColumnBytes + 3 * kMapBlockBytes, 2);
};

std::string SummaryLine(const std::string& label, const std::string& value) {
    std::string line = "  " + label + ":";
    line.resize(36, ' ');
    return line + value + "\n";
}

TEST_F(CopyUndoTest, ADryRunSaysWhatTheCopyWouldDoAndWritesNothing) {
    // Inside the map: what changes is counted against the worked-out result,
    // and the file grows.
    const CopySettings inside = Rectangle(3, 12, 5, 40, 9, 2050, 100);
    // At the bottom right corner: clipped at both edges.
    const CopySettings corner = Rectangle(0, 9, 0, 9, 6138, 4090, -50);
    for (const CopySettings& settings : {inside, corner}) {
        SCOPED_TRACE(settings.offX);
        const Outcome dry = [&] {
            std::vector<std::string> arguments = CopyArguments(settings);
            arguments.push_back("--dry-run");
            return Cli(arguments);
        }();
        ASSERT_EQ(dry.status, 0) << dry.err;
        EXPECT_EQ(dry.err, "");
        EXPECT_EQ(ReadBytes(destPath), dest) << "a dry run wrote";
        EXPECT_FALSE(std::filesystem::exists(dir.File("state/kestrel")) &&
                     !std::filesystem::is_empty(dir.File("state/kestrel")))
            << "a dry run left a journal";

        // Worked out cell by cell.
        const int columns = std::min(settings.maxX - settings.minX + 1, kMapWidth - settings.offX);
        const int rows = std::min(settings.maxY - settings.minY + 1, kMapHeight - settings.offY);
        const int width = settings.maxX - settings.minX + 1;
        const int height = settings.maxY - settings.minY + 1;
        int wrapped = 0;
        int lowest = 127;
        int highest = -128;
        for (int y = settings.minY; y < settings.minY + rows; ++y) {
            for (int x = settings.minX; x < settings.minX + columns; ++x) {
                const int altitude =
                    static_cast<std::int8_t>(source[static_cast<std::size_t>(CellOffset(x, y)) + 2]);
                const int sum = altitude + settings.offZ;
                wrapped += sum < -128 || sum > 127;
                const int shifted = static_cast<std::int8_t>(static_cast<std::uint8_t>(sum & 0xFF));
                lowest = std::min(lowest, shifted);
                highest = std::max(highest, shifted);
            }
        }
        const Bytes result = test::ExpectedMapCopy(source, dest, settings);
        std::size_t changed = result.size() - dest.size();
        for (std::size_t at = 0; at < dest.size(); ++at) {
            changed += result[at] != dest[at];
        }
        const std::string expected =
            "Dry run (nothing was written):\n" +
            SummaryLine("cells copied", std::to_string(columns * rows)) +
            SummaryLine("cells clipped at the right edge", std::to_string((width - columns) * height)) +
            SummaryLine("cells clipped at the bottom edge", std::to_string(columns * (height - rows))) +
            SummaryLine("cells whose altitude wraps round", std::to_string(wrapped)) +
            SummaryLine("altitudes after the shift",
                        std::to_string(lowest) + " to " + std::to_string(highest)) +
            SummaryLine("bytes changed", std::to_string(changed));
        EXPECT_EQ(dry.out, expected);
        if (&settings == &inside) {
            EXPECT_GT(wrapped, 0);
            EXPECT_GT(changed, result.size() - dest.size()) << "no byte of the old file changes";
            // A real run says the same with --verbose, and does it.
            std::vector<std::string> arguments = CopyArguments(settings);
            arguments.push_back("--verbose");
            const Outcome real = Cli(arguments);
            ASSERT_EQ(real.status, 0) << real.err;
            EXPECT_EQ(real.out, "Copied:\n" + expected.substr(expected.find('\n') + 1));
            EXPECT_EQ(ReadBytes(destPath), result);
        }
    }
}

TEST_F(CopyUndoTest, UndoTakesBackOneCopyAfterAnotherNewestFirst) {
    // Long enough for every copy: the file does not grow.
    dest = PatternBytes(3 * kMapBlockColumnBytes, 3);
    WriteBytes(destPath, dest);
    const CopySettings copies[] = {Rectangle(0, 12, 0, 30, 0, 0, 5),
                                   Rectangle(5, 15, 100, 140, 8, 20, -3),
                                   Rectangle(0, 7, 0, 7, 4, 4, 0)};
    std::vector<Bytes> states = {dest};
    for (const CopySettings& settings : copies) {
        const Outcome copy = Cli(CopyArguments(settings));
        ASSERT_EQ(copy.status, 0) << copy.err;
        EXPECT_EQ(copy.out + copy.err, "") << "a copy without --verbose is silent";
        states.push_back(ReadBytes(destPath));
        EXPECT_NE(states.back(), states[states.size() - 2]);
    }

    const Outcome list = Cli({"undo", "--list"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 3) << list.out;
    // Newest first, each with its rectangle of destination cells.
    EXPECT_LT(list.out.find("cells 4,4 8x8"), list.out.find("cells 8,20 11x41")) << list.out;
    EXPECT_LT(list.out.find("cells 8,20 11x41"), list.out.find("cells 0,0 13x31")) << list.out;

    for (std::size_t back = states.size() - 1; back > 0; --back) {
        const Outcome undo = Cli({"undo", destPath});
        ASSERT_EQ(undo.status, 0) << undo.err;
        EXPECT_TRUE(undo.out.starts_with("Undid copy-map")) << undo.out;
        EXPECT_EQ(ReadBytes(destPath), states[back - 1]) << "after undoing copy " << back;
    }
    const Outcome nothing = Cli({"undo", destPath});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.err, "kestrel-cli: nothing to undo for " + destPath + "\n");
    EXPECT_EQ(ReadBytes(destPath), dest);
}

TEST_F(CopyUndoTest, UndoIsRefusedWhenTheFileWasChangedSinceTheCopy) {
    const CopySettings settings = Rectangle(0, 12, 0, 30, 0, 0, 5);
    ASSERT_EQ(Cli(CopyArguments(settings)).status, 0);
    // Another program changes a byte the copy wrote, in place.
    Bytes changed = ReadBytes(destPath);
    changed[static_cast<std::size_t>(CellOffset(3, 3))] ^= 0xFF;
    {
        std::fstream file(destPath, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(CellOffset(3, 3));
        file.put(static_cast<char>(changed[static_cast<std::size_t>(CellOffset(3, 3))]));
    }
    const Outcome undo = Cli({"undo", destPath});
    EXPECT_EQ(undo.status, 1);
    EXPECT_TRUE(undo.err.starts_with("kestrel-cli: cannot undo")) << undo.err;
    EXPECT_EQ(ReadBytes(destPath), changed) << "a refused undo changed the file";
    // The entry stays in the history.
    EXPECT_NE(Cli({"undo", "--list"}).out.find("cells 0,0 13x31"), std::string::npos);
}

}  // namespace
}  // namespace kestrel
