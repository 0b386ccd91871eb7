#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/info_command.h"
#include "cli/make_sample_command.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::ReadBytes;
using test::TempDir;

struct CommandRun {
    int status;
    std::string out;
    std::string err;
};

template <typename Command>
CommandRun RunCommand(Command command, const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = command(arguments, out, err);
    return {status, out.str(), err.str()};
}

TEST(FacetCommandsTest, MakeSampleWritesTheFacetAndInfoTellsItsFiles) {
    TempDir dir;
    const std::string world = dir.File("world");
    const CommandRun made =
        RunCommand(RunMakeSample, {"make-sample", world, "--facet", "2", "--uop"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.out.find("map2LegacyMUL.uop, staidx2.mul, statics2.mul"), std::string::npos)
        << made.out;
    EXPECT_EQ(std::filesystem::file_size(world + "/staidx2.mul"), 288u * 200u * 12u);
    EXPECT_FALSE(std::filesystem::exists(world + "/map2.mul"));

    const CommandRun sized =
        RunCommand(RunMakeSample, {"make-sample", world, "--facet=4", "--size=64x32"});
    ASSERT_EQ(sized.status, 0) << sized.err;
    EXPECT_EQ(std::filesystem::file_size(world + "/map4.mul"), 8u * 4u * 196u);

    const CommandRun info =
        RunCommand(RunInfo, {"info", world + "/map2LegacyMUL.uop", world + "/staidx2.mul",
                             world + "/missing.mul", world + "/statics2.mul"});
    EXPECT_EQ(info.status, 1);
    std::istringstream lines(info.out);
    std::string line;
    std::vector<std::string> told;
    while (std::getline(lines, line)) {
        told.push_back(line);
    }
    ASSERT_EQ(told.size(), 3u) << info.out;
    EXPECT_NE(told[0].find(": map, .uop with 15 entries"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("2304 x 1600, Ilshenar"), std::string::npos) << told[0];
    EXPECT_NE(told[1].find(": statics index, .mul, 2304 x 1600, Ilshenar, "), std::string::npos)
        << told[1];
    EXPECT_NE(told[2].find(": statics data, .mul, "), std::string::npos) << told[2];
    EXPECT_EQ(info.err, "kestrel-cli: " + world + "/missing.mul: no such file.\n");
}

TEST(FacetCommandsTest, BadFacetSizeAndInfoCommandLinesExitWithStatus2) {
    TempDir dir;
    const std::string world = dir.File("world");
    const std::vector<std::vector<std::string>> makeSample = {
        {"make-sample", world, "--facet"},       {"make-sample", world, "--facet", "6"},
        {"make-sample", world, "--facet", "-1"}, {"make-sample", world, "--facet", "1x"},
        {"make-sample", world, "--size", "7x8"}, {"make-sample", world, "--size=1448"},
        {"make-sample", world, "--uop=yes"},
    };
    for (const std::vector<std::string>& arguments : makeSample) {
        const CommandRun run = RunCommand(RunMakeSample, arguments);
        EXPECT_EQ(run.status, 2) << arguments.back();
        EXPECT_EQ(run.err.rfind("kestrel-cli: ", 0), 0u) << run.err;
        EXPECT_FALSE(std::filesystem::exists(world)) << arguments.back();
    }
    EXPECT_EQ(RunCommand(RunInfo, {"info"}).status, 2);
    EXPECT_EQ(RunCommand(RunInfo, {"info", "--verbose", world}).status, 2);
    const CommandRun help = RunCommand(RunInfo, {"info", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("info FILE..."), std::string::npos);
}

// A Malas or TerMur length with no map number in the name: the command line
// does not guess, it asks for the size and writes nothing.
TEST(FacetCommandsTest, MalasOrTerMurLengthWithoutANumberNeedsTheSizeOption) {
    TempDir dir;
    const CommandRun made = RunCommand(RunMakeSample, {"make-sample", dir.Path(), "--facet", "5"});
    ASSERT_EQ(made.status, 0) << made.err;
    std::filesystem::copy_file(dir.File("map5.mul"), dir.File("world.mul"));
    std::filesystem::copy_file(dir.File("map5.mul"), dir.File("into.mul"));
    const std::vector<std::string> copy = {"copy-map",  "--source-map", dir.File("world.mul"),
                                           "--dest-map", dir.File("into.mul"), "--off-x",
                                           "20", "--off-y", "4000"};
    const auto before = ReadBytes(dir.File("into.mul"));
    const CommandRun refused = RunCommand(RunCli, copy);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("fits maps of 2560x2048 (Malas) and 1280x4096 (TerMur)"),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("give its size with --source-size WxH"), std::string::npos)
        << refused.err;
    EXPECT_EQ(ReadBytes(dir.File("into.mul")), before);

    std::vector<std::string> sized = copy;
    sized.insert(sized.end(), {"--source-size", "1280x4096"});
    const CommandRun destUnknown = RunCommand(RunCli, sized);
    EXPECT_EQ(destUnknown.status, 1);
    EXPECT_NE(destUnknown.err.find("--dest-size"), std::string::npos) << destUnknown.err;
    sized.insert(sized.end(), {"--dest-size", "1280x4096"});
    const CommandRun done = RunCommand(RunCli, sized);
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_NE(ReadBytes(dir.File("into.mul")), before);

    // The number in the name decides without the option.
    const CommandRun named = RunCommand(
        RunCli, {"copy-map", "--source-map", dir.File("map5.mul"), "--dest-map",
                 dir.File("into.mul"), "--dest-size", "1280x4096", "--off-y", "4090"});
    EXPECT_EQ(named.status, 0) << named.err;
    const CommandRun bad =
        RunCommand(RunCli, {"copy-map", "--source-size", "100x100"});
    EXPECT_EQ(bad.status, 2);
}

// A file that is no map, named as the source or the destination map, is
// refused before anything is written.
TEST(FacetCommandsTest, AStaticsFileGivenAsAMapIsRefusedAndLeftUnchanged) {
    TempDir dir;
    const CommandRun made = RunCommand(RunMakeSample, {"make-sample", dir.Path(), "--facet", "4"});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string map = dir.File("map4.mul");
    const std::string index = dir.File("staidx4.mul");
    const std::string data = dir.File("statics4.mul");
    const auto mapBefore = ReadBytes(map);
    const auto indexBefore = ReadBytes(index);
    const auto dataBefore = ReadBytes(data);
    const struct {
        std::string source;
        std::string dest;
        std::string wrong;
    } cases[] = {{map, index, index}, {data, map, data}, {map, data, data}};
    for (const auto& row : cases) {
        const CommandRun run = RunCommand(RunCli, {"copy-map", "--source-map", row.source,
                                                   "--dest-map", row.dest, "--max-x", "1000"});
        EXPECT_EQ(run.status, 1) << row.wrong;
        EXPECT_EQ(run.err.rfind("kestrel-cli: Error: " + row.wrong + " is not a map file: ", 0),
                  0u)
            << run.err;
    }
    EXPECT_EQ(ReadBytes(map), mapBefore);
    EXPECT_EQ(ReadBytes(index), indexBefore);
    EXPECT_EQ(ReadBytes(data), dataBefore);
}

// The ranges of the numbers follow the maps named; missing files keep the
// 6144 x 4096 ranges and their messages.
TEST(FacetCommandsTest, FieldRangesFollowTheSizesOfTheNamedMaps) {
    TempDir dir;
    ASSERT_EQ(RunCommand(RunMakeSample, {"make-sample", dir.Path(), "--facet", "2"}).status, 0);
    const std::string ilshenar = dir.File("map2.mul");
    const struct {
        std::vector<std::string> arguments;
        std::string err;
    } cases[] = {
        {{"copy-map", "--source-map", ilshenar, "--max-x", "2304"},
         "kestrel-cli: --max-x: Please enter an integer between 0 and 2303.\n"},
        {{"copy-map", "--source-map", ilshenar, "--max-y", "1600"},
         "kestrel-cli: --max-y: Please enter an integer between 0 and 1599.\n"},
        {{"copy-map", "--dest-map", ilshenar, "--off-x", "2304"},
         "kestrel-cli: --off-x: Please enter an integer between 0 and 2303.\n"},
        {{"copy-map", "--dest-map", ilshenar, "--dest-size", "7168x4096", "--off-x", "7168"},
         "kestrel-cli: --off-x: Please enter an integer between 0 and 7167.\n"},
        {{"copy-statics", "--statics-index", dir.File("staidx2.mul"), "--min-y", "1600"},
         "kestrel-cli: --min-y: Please enter an integer between 0 and 1599.\n"},
        {{"copy-map", "--source-map", dir.File("missing.mul"), "--max-x", "6144"},
         "kestrel-cli: --max-x: Please enter an integer between 0 and 6143.\n"},
    };
    for (const auto& row : cases) {
        const CommandRun run = RunCommand(RunCli, row.arguments);
        EXPECT_EQ(run.status, 2) << row.err;
        EXPECT_EQ(run.err, row.err);
    }
}

}  // namespace
}  // namespace kestrel
