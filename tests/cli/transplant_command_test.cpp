#include "cli/transplant_command.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_app.h"
#include "support/statics_model.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::TempDir;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunKestrel(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(arguments, out, err);
    return {status, out.str(), err.str()};
}

// Two small sample worlds, and the journal kept in the test's directory.
class TransplantCommandTest : public ::testing::Test {
protected:
    TransplantCommandTest() {
        ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
        for (const auto& [name, seed] : {std::pair{"from", "7"}, std::pair{"to", "8"}}) {
            const Outcome made =
                RunKestrel({"make-sample", dir.File(name), "--size", "128x96", "--seed", seed});
            EXPECT_EQ(made.status, 0) << made.err;
        }
    }

    std::vector<std::string> Command(std::vector<std::string> more) const {
        std::vector<std::string> arguments = {
            "transplant", "--from",  dir.File("from"), "--to",    dir.File("to"),
            "--min-x",    "10",      "--max-x",        "70",      "--min-y",
            "5",          "--max-y", "60",             "--off-x", "90",
            "--off-y",    "50",      "--off-z",        "0",       "--land",
            "no",         "--from-size", "128x96",     "--to-size", "128x96"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }

    Bytes DestStatics() const { return ReadBytes(dir.File("to/statics0.mul")); }

    TempDir dir;
};

TEST_F(TransplantCommandTest, ADryRunPrintsTheSummaryAndAVerboseRunDoesTheSameWork) {
    const Bytes before = DestStatics();
    const Outcome dry = RunKestrel(Command({"--dry-run"}));
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(DestStatics(), before);
    EXPECT_NE(dry.out.find("Dry run, nothing written"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("statics left out at the edges:"), std::string::npos);
    EXPECT_EQ(dry.out.find("land cells"), std::string::npos) << "--land no still counted land";

    const Outcome quiet = RunKestrel(Command({"--statics", "add"}));
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.out, "");
    EXPECT_NE(DestStatics(), before);

    // The same transplant in replace mode reports what the dry run said.
    std::filesystem::remove_all(dir.Path() / "to");
    ASSERT_EQ(RunKestrel({"make-sample", dir.File("to"), "--size", "128x96", "--seed", "8"}).status, 0);
    const Outcome verbose = RunKestrel(Command({"--verbose"}));
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_EQ(verbose.out.substr(verbose.out.find('\n')), dry.out.substr(dry.out.find('\n')));
    EXPECT_EQ(test::StaticsPairProblem(ReadBytes(dir.File("to/staidx0.mul")), DestStatics(),
                                       MapGeometry{128, 96}),
              std::nullopt);
}

TEST_F(TransplantCommandTest, BadValuesAreRejectedWithTheMessagesOfTheOtherCommands) {
    const struct {
        std::vector<std::string> more;
        const char* message;
        int status;
    } cases[] = {
        {{"--off-z", "999"}, "--off-z: Please enter an integer between -256 and 256.", 2},
        {{"--min-x", "1x"}, "--min-x: Please enter an integer.", 2},
        {{"--statics", "merge"}, "--statics: 'merge' is not replace, add or none", 2},
        {{"--land", "maybe"}, "--land: 'maybe' is not yes or no", 2},
        {{"--to-map", "9"}, "--to-map: '9' is not a map number from 0 to 5", 2},
        {{"--to-size", "100x3"}, "--to-size: '100x3' is not WIDTHxHEIGHT", 2},
        {{"--colour", "red"}, "unknown option '--colour' for transplant", 2},
        {{"--statics", "none"}, "--land no with --statics none leaves nothing", 2},
        {{"--to-map", "1"}, "has no map1.mul or map1LegacyMUL.uop.", 1},
    };
    const Bytes before = DestStatics();
    for (const auto& c : cases) {
        const Outcome outcome = RunKestrel(Command(c.more));
        EXPECT_EQ(outcome.status, c.status) << c.message;
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    }
    // A required option left out.
    std::vector<std::string> withoutOffY = Command({});
    withoutOffY.erase(withoutOffY.begin() + 15, withoutOffY.begin() + 17);
    const Outcome missing = RunKestrel(withoutOffY);
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("transplant needs --off-y"), std::string::npos) << missing.err;
    EXPECT_EQ(DestStatics(), before);
}

TEST(CopyStaticsFirstSerialTest, TheScriptsSerialsStartAtTheGivenNumber) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "w");
    test::CellStatics cells;
    cells[{1, 2}] = {{0x100, 0, 0}, {0x101, 5, 0}};
    cells[{40, 9}] = {{0x102, -3, 7}};
    const test::ModelPair pair = test::EncodeStatics(cells, MapGeometry{}, 1);
    test::WriteBytes(dir.File("w/staidx0.mul"), pair.index);
    test::WriteBytes(dir.File("w/statics0.mul"), pair.data);
    const auto exportWith = [&](std::vector<std::string> more) {
        std::vector<std::string> arguments = {
            "copy-statics", "--statics-index", dir.File("w/staidx0.mul"), "--statics-data",
            dir.File("w/statics0.mul"), "--items", dir.File("items.wsc"), "--max-x", "63",
            "--max-y", "63"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return RunKestrel(arguments);
    };
    ASSERT_EQ(exportWith({"--first-serial", "5000"}).status, 0);
    const std::string items = test::ReadText(dir.File("items.wsc"));
    EXPECT_EQ(items.find("SERIAL 1073741824"), std::string::npos);
    EXPECT_NE(items.find("SECTION WORLDITEM 0\r\n{\r\nSERIAL 5000\r\n"), std::string::npos);
    EXPECT_NE(items.find("SECTION WORLDITEM 1\r\n{\r\nSERIAL 5001\r\n"), std::string::npos);

    ASSERT_EQ(exportWith({}).status, 0);
    EXPECT_NE(test::ReadText(dir.File("items.wsc")).find("SERIAL 1073741824\r\n"),
              std::string::npos);

    const Outcome negative = exportWith({"--first-serial=-1"});
    EXPECT_EQ(negative.status, 2);
    EXPECT_EQ(negative.err,
              "kestrel-cli: --first-serial: Please enter an integer between 0 and 2147483647.\n");
    const Outcome text = exportWith({"--first-serial", "many"});
    EXPECT_EQ(text.err, "kestrel-cli: --first-serial: Please enter an integer.\n");
    // copy-map has no serials.
    EXPECT_EQ(RunKestrel({"copy-map", "--first-serial", "1"}).status, 2);
}

}  // namespace
}  // namespace kestrel
