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

RenderRun Cli(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(arguments, out, err);
    return {status, out.str(), err.str()};
}

// The pixels of a PNG as 8-bit RGB, row after row; empty when it cannot be read.
struct Picture {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    std::vector<std::uint8_t> rgb;
};

Picture ReadPicture(const std::string& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return {};
    }
    picture.width = image.width;
    picture.height = image.height;
    return picture;
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

TEST(RenderCommandTest, AUopMapIsDrawnLikeTheMulMapOfTheSameCells) {
    TempDir dir;
    ASSERT_EQ(Cli({"make-sample", dir.File("mul"), "--facet", "4"}).status, 0);
    ASSERT_EQ(Cli({"make-sample", dir.File("uop"), "--facet", "4", "--uop"}).status, 0);
    const std::string uopMap = dir.File("uop") + "/map4LegacyMUL.uop";
    ASSERT_TRUE(std::filesystem::exists(uopMap));
    std::vector<Picture> pictures;
    for (const std::string& map : {dir.File("mul") + "/map4.mul", uopMap}) {
        const RenderRun run = Cli({"render", "--map", map, "--out", dir.File("map.png")});
        ASSERT_EQ(run.status, kExitSuccess) << run.err;
        EXPECT_NE(run.out.find("radarcol.mul"), std::string::npos) << run.out;
        pictures.push_back(ReadPicture(dir.File("map.png")));
    }
    for (const Picture& picture : pictures) {
        EXPECT_EQ(picture.width, 1448u);
        EXPECT_EQ(picture.height, 1448u);
    }
    EXPECT_TRUE(pictures[0].rgb == pictures[1].rgb);
}

// The preview is compared with the destination drawn after the real copy; the
// rectangle is clipped at the map's right and bottom edges and its altitudes
// wrap, so that each rule of the copy shows in the picture.
TEST(CopyPreviewCommandTest, ThePreviewIsWhatTheRealCopyThenWritesAndNothingIsWritten) {
    TempDir dir;
    const std::string world = dir.File("world");
    const std::string dest = dir.File("dest");
    ASSERT_EQ(Cli({"make-sample", world}).status, 0);
    std::filesystem::create_directories(dest);
    std::filesystem::copy_file(world + "/map0.mul", dest + "/map0.mul");
    std::filesystem::copy_file(world + "/radarcol.mul", dest + "/radarcol.mul");
    const test::Bytes destBefore = test::ReadBytes(dest + "/map0.mul");

    const std::vector<std::string> copy = {
        "copy-map", "--source-map", world + "/map0.mul", "--dest-map", dest + "/map0.mul",
        "--min-x",  "3000",         "--max-x",           "3700",       "--min-y",
        "100",      "--max-y",      "900",               "--off-x",    "5800",
        "--off-y",  "3700",         "--off-z",           "120"};
    std::vector<std::string> preview = copy;
    preview.insert(preview.end(), {"--preview", dir.File("preview.png")});
    const RenderRun previewRun = Cli(preview);
    ASSERT_EQ(previewRun.status, kExitSuccess) << previewRun.err;
    EXPECT_EQ(test::ReadBytes(dest + "/map0.mul"), destBefore);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dest),
                            std::filesystem::directory_iterator()),
              2);

    ASSERT_EQ(Cli({"render", "--map", dest + "/map0.mul", "--out", dir.File("before.png")}).status,
              kExitSuccess);
    const RenderRun copyRun = Cli(copy);
    ASSERT_EQ(copyRun.status, kExitSuccess) << copyRun.err;
    ASSERT_EQ(Cli({"render", "--map", dest + "/map0.mul", "--out", dir.File("after.png")}).status,
              kExitSuccess);

    const Picture previewPicture = ReadPicture(dir.File("preview.png"));
    const Picture before = ReadPicture(dir.File("before.png"));
    const Picture after = ReadPicture(dir.File("after.png"));
    ASSERT_EQ(previewPicture.width, 6144u);
    ASSERT_EQ(previewPicture.height, 4096u);
    EXPECT_NE(before.rgb, after.rgb);  // the copy shows in the picture
    EXPECT_TRUE(previewPicture.rgb == after.rgb);
}

TEST(CopyPreviewCommandTest, AMapThatCannotBeReadExitsWithOneAndWritesNoPicture) {
    TempDir dir;
    const RenderRun run = Cli({"copy-map", "--source-map", dir.File("missing.mul"), "--dest-map",
                               dir.File("missing.mul"), "--preview", dir.File("p.png")});
    EXPECT_EQ(run.status, kExitOperationFailed);
    EXPECT_NE(run.err.find("source map"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("p.png")));
    EXPECT_EQ(Cli({"copy-map", "--preview"}).status, kExitUsage);
}

}  // namespace
}  // namespace kestrel
