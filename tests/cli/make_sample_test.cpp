#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::TempDir;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun RunKestrelCli(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(arguments, out, err);
    return {status, out.str(), err.str()};
}

TEST(MakeSampleCommandTest, WritesAFullSizeWorldAndRefusesToOverwriteItWithoutForce) {
    TempDir dir;
    const std::string world = dir.File("world");
    const CliRun first = RunKestrelCli({"make-sample", world});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(std::filesystem::file_size(world + "/map0.mul"), 77070336u);
    EXPECT_EQ(std::filesystem::file_size(world + "/staidx0.mul"), 768u * 512u * 12u);
    EXPECT_GT(std::filesystem::file_size(world + "/statics0.mul"), 0u);
    EXPECT_EQ(std::filesystem::file_size(world + "/radarcol.mul"), 0x8000u * 2u);
    EXPECT_NE(first.out.find("seed 1"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("radarcol.mul"), std::string::npos) << first.out;

    test::WriteText(world + "/statics0.mul", "keep");
    const CliRun again = RunKestrelCli({"make-sample", world, "--seed", "2"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err.rfind("kestrel-cli: ", 0), 0u) << again.err;
    EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
    EXPECT_EQ(test::ReadText(world + "/statics0.mul"), "keep");

    const CliRun forced = RunKestrelCli({"make-sample", "--force", "--seed=2", world});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_NE(test::ReadText(world + "/statics0.mul"), "keep");
    EXPECT_EQ(std::filesystem::file_size(world + "/radarcol.mul"), 0x8000u * 2u);
}

TEST(MakeSampleCommandTest, AnotherRadarColoursFileStopsItWithoutForce) {
    TempDir dir;
    const std::string world = dir.File("world");
    std::filesystem::create_directories(world);
    test::WriteText(world + "/radarcol.mul", "keep");
    const CliRun again = RunKestrelCli({"make-sample", world, "--size", "64x64"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("radarcol.mul already exists"), std::string::npos) << again.err;
    EXPECT_EQ(test::ReadText(world + "/radarcol.mul"), "keep");
    EXPECT_FALSE(std::filesystem::exists(world + "/map0.mul"));

    const CliRun forced =
        RunKestrelCli({"make-sample", world, "--size", "64x64", "--seed", "2", "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(std::filesystem::file_size(world + "/radarcol.mul"), 0x8000u * 2u);
}

TEST(MakeSampleCommandTest, BadCommandLinesExitWithStatus2AndWriteNothing) {
    TempDir dir;
    const std::string world = dir.File("world");
    const std::vector<std::vector<std::string>> cases = {
        {"make-sample"},
        {"make-sample", world, world + "2"},
        {"make-sample", world, "--seed"},
        {"make-sample", world, "--seed", "abc"},
        {"make-sample", world, "--seed", "-1"},
        {"make-sample", world, "--seed", "4294967296"},
        {"make-sample", world, "--seed", "12x"},
        {"make-sample", world, "--seed="},
        {"make-sample", world, "--size", "3"},
    };
    for (const std::vector<std::string>& arguments : cases) {
        const CliRun run = RunKestrelCli(arguments);
        EXPECT_EQ(run.status, 2) << arguments.back();
        EXPECT_EQ(run.err.rfind("kestrel-cli: ", 0), 0u) << run.err;
        EXPECT_FALSE(std::filesystem::exists(world)) << arguments.back();
    }
}

TEST(MakeSampleCommandTest, DirectoryThatCannotBeMadeExitsWithStatus1) {
    TempDir dir;
    test::WriteText(dir.File("plain-file"), "");
    const CliRun run = RunKestrelCli({"make-sample", dir.File("plain-file") + "/world"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("kestrel-cli: ", 0), 0u) << run.err;
}

TEST(MakeSampleCommandTest, HelpDescribesTheCommandAndIsListedInTheUsage) {
    const CliRun help = RunKestrelCli({"make-sample", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--seed"), std::string::npos);
    EXPECT_NE(help.out.find("--force"), std::string::npos);
    const CliRun usage = RunKestrelCli({"--help"});
    EXPECT_NE(usage.out.find("make-sample"), std::string::npos);
}

}  // namespace
}  // namespace kestrel
