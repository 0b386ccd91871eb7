#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/render_command.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::TempDir;

struct RenderRun {
    int status;
    std::string out;
    std::string err;
};

RenderRun Render(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "render");
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunRender(arguments, out, err);
    return {status, out.str(), err.str()};
}

// A map of 2304 x 1600 cells (the size tells the facet), all zero bytes.
std::string WriteSmallFacet(const TempDir& dir) {
    const std::string path = dir.File("map2.mul");
    test::WriteBytes(path, test::Bytes(std::size_t{288} * 200 * 196));
    return path;
}

TEST(RenderCommandTest, ABadCommandLineExitsWithTwoAndSaysWhy) {
    TempDir dir;
    const std::string map = WriteSmallFacet(dir);
    const std::string out = dir.File("out.png");
    struct Case {
        std::vector<std::string> arguments;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"--out", out}, "--map"},
        {{"--map", map}, "--out"},
        {{"--map", map, "--out", out, "--statics-index", map}, "go together"},
        {{"--map", map, "--out", out, "--scale", "0"}, "--scale"},
        {{"--map", map, "--out", out, "--scale", "four"}, "not a whole number"},
        {{"--map", map, "--out", out, "--scale", "2", "--size", "10x10"}, "together"},
        {{"--map", map, "--out", out, "--size", "10"}, "--size"},
        {{"--map", map, "--out", out, "--size", "0x10"}, "--size"},
        {{"--map", map, "--out", out, "--colour", "x"}, "unknown option"},
        {{"--map", map, "--out"}, "needs a value"},
        {{"--map", map, "--out", out, "--max-x", "2304"}, "0 to 2303"},
        {{"--map", map, "--out", out, "--min-y", "-1"}, "0 to 1599"},
        {{"--map", map, "--out", out, "--min-x", "9", "--max-x", "8"}, "right of"},
    };
    for (const Case& c : cases) {
        const RenderRun run = Render(c.arguments);
        EXPECT_EQ(run.status, kExitUsage) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.says;
    }
}

TEST(RenderCommandTest, FilesThatCannotBeReadOrWrittenExitWithOne) {
    TempDir dir;
    const std::string map = WriteSmallFacet(dir);
    const RenderRun missing = Render({"--map", dir.File("none.mul"), "--out", dir.File("a.png")});
    EXPECT_EQ(missing.status, kExitOperationFailed);
    EXPECT_NE(missing.err.find("none.mul was not found"), std::string::npos) << missing.err;
    const RenderRun radar =
        Render({"--map", map, "--radarcol", dir.File("none.mul"), "--out", dir.File("a.png")});
    EXPECT_EQ(radar.status, kExitOperationFailed);
    const RenderRun unwritable =
        Render({"--map", map, "--scale", "16", "--out", dir.File("no/such/dir.png")});
    EXPECT_EQ(unwritable.status, kExitOperationFailed);
    EXPECT_NE(unwritable.err.find("dir.png"), std::string::npos) << unwritable.err;
}

TEST(RenderCommandTest, ThePictureHasOnePixelPerScaleSquareOfTheRegion) {
    TempDir dir;
    const std::string map = WriteSmallFacet(dir);
    struct Case {
        std::vector<std::string> options;
        png_uint_32 width;
        png_uint_32 height;
    };
    const std::vector<Case> cases = {
        {{}, 2304, 1600},
        {{"--scale", "7"}, 330, 229},
        {{"--min-x", "10", "--max-x", "19", "--min-y", "0", "--max-y", "4", "--scale=3"}, 4, 2},
        {{"--size", "500x500"}, 500, 347},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"--map", map, "--out", dir.File("map.png")};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const RenderRun run = Render(arguments);
        ASSERT_EQ(run.status, kExitSuccess) << run.err;
        EXPECT_NE(run.out.find("built-in palette"), std::string::npos) << run.out;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_NE(png_image_begin_read_from_file(&image, dir.File("map.png").c_str()), 0);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        png_image_free(&image);
    }
}

}  // namespace
}  // namespace kestrel
