#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>

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

// Sample worlds of Tokuno's size (which the map file's length tells, so
// render draws them whole) and the files of each that a transplant may change.
class TransplantPreviewCommandTest : public ::testing::Test {
protected:
    void MakeWorld(const std::string& name, const char* seed) {
        const RenderRun made =
            Cli({"make-sample", dir.File(name), "--facet", "4", "--seed", seed, "--force"});
        ASSERT_EQ(made.status, kExitSuccess) << made.err;
    }

    std::vector<test::Bytes> WorldBytes(const std::string& name) const {
        std::vector<test::Bytes> files;
        for (const char* file : {"/map4.mul", "/staidx4.mul", "/statics4.mul"}) {
            files.push_back(test::ReadBytes(dir.File(name) + file));
        }
        return files;
    }

    std::vector<std::string> Transplant(const std::string& from, const std::string& to,
                                        const std::vector<std::string>& more) const {
        std::vector<std::string> arguments = {"transplant", "--from",     dir.File(from),
                                              "--to",       dir.File(to), "--from-map",
                                              "4",          "--to-map",   "4"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }

    // The world's map and statics drawn by render into picture.
    Picture RenderWorld(const std::string& name, const std::string& picture) const {
        const std::string world = dir.File(name);
        const RenderRun run =
            Cli({"render", "--map", world + "/map4.mul", "--statics-index", world + "/staidx4.mul",
                 "--statics-data", world + "/statics4.mul", "--out", dir.File(picture)});
        EXPECT_EQ(run.status, kExitSuccess) << run.err;
        return ReadPicture(dir.File(picture));
    }

    TempDir dir;
};

// Each case is previewed, then transplanted for real and drawn by render: the
// pictures must agree pixel for pixel, the preview must have written nothing
// but its picture, and the transplant must show in the picture (so a preview
// of the untouched destination cannot pass).
TEST_F(TransplantPreviewCommandTest, ThePreviewIsWhatRenderDrawsAfterTheRealTransplant) {
    struct Case {
        const char* name;
        bool sameWorld;
        std::vector<std::string> options;
    };
    const std::vector<Case> cases = {
        // Land and statics replaced, clipped at the right and bottom edges,
        // altitudes wrapping.
        {"replace and clip",
         false,
         {"--min-x", "200", "--max-x", "711", "--min-y", "300", "--max-y", "811", "--off-x", "1100",
          "--off-y", "1000", "--off-z", "120", "--verbose"}},
        // Statics added to those of the target cells, no land, a rectangle on
        // no block boundary moved by an offset on none.
        {"add without land, unaligned",
         false,
         {"--min-x", "203", "--max-x", "460", "--min-y", "301", "--max-y", "555", "--off-x", "901",
          "--off-y", "77", "--off-z", "15", "--land", "no", "--statics", "add"}},
        // A move within one world onto an overlapping rectangle.
        {"same world, overlapping",
         true,
         {"--min-x", "200", "--max-x", "599", "--min-y", "200", "--max-y", "599", "--off-x", "350",
          "--off-y", "421", "--off-z=-5"}},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string state = dir.File("state" + std::to_string(round++));
        ::setenv("XDG_STATE_HOME", state.c_str(), 1);
        MakeWorld("from", "7");
        MakeWorld("to", "8");
        const std::string from = c.sameWorld ? "to" : "from";
        const std::vector<test::Bytes> before = WorldBytes("to");
        const Picture unchanged = RenderWorld("to", "before.png");

        std::vector<std::string> preview = Transplant(from, "to", c.options);
        preview.insert(preview.end(), {"--preview", dir.File("preview.png")});
        const RenderRun previewRun = Cli(preview);
        ASSERT_EQ(previewRun.status, kExitSuccess) << previewRun.err;
        EXPECT_NE(previewRun.out.find("Wrote " + dir.File("preview.png") + ": " + dir.File("to") +
                                      "/map4.mul and its statics as the transplant would leave "
                                      "them, 1448 x 1448 pixels, colours from " +
                                      dir.File("to") +
                                      "/radarcol.mul; no map or statics file "
                                      "was written.\n"),
                  std::string::npos)
            << previewRun.out;
        EXPECT_TRUE(WorldBytes("to") == before);
        EXPECT_FALSE(std::filesystem::exists(state)) << "a journal was kept";

        const RenderRun real = Cli(Transplant(from, "to", c.options));
        ASSERT_EQ(real.status, kExitSuccess) << real.err;
        if (c.options.back() == "--verbose") {
            // The preview's summary is the real transplant's, told as a dry run.
            EXPECT_TRUE(
                previewRun.out.starts_with("Dry run, nothing written: the transplant would move" +
                                           real.out.substr(real.out.find('\n'))))
                << previewRun.out << real.out;
            EXPECT_EQ(real.out.find("statics moved:" + std::string(18, ' ') + "0\n"),
                      std::string::npos)
                << real.out;
        }
        const Picture after = RenderWorld("to", "after.png");
        const Picture previewPicture = ReadPicture(dir.File("preview.png"));
        ASSERT_EQ(previewPicture.width, 1448u);
        ASSERT_EQ(previewPicture.height, 1448u);
        EXPECT_NE(unchanged.rgb, after.rgb);
        EXPECT_TRUE(previewPicture.rgb == after.rgb);
    }
}

TEST_F(TransplantPreviewCommandTest, AFailureExitsWithOneSaysWhyAndWritesNothing) {
    ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    MakeWorld("from", "7");
    MakeWorld("to", "8");
    const std::vector<test::Bytes> before = WorldBytes("to");
    const std::vector<std::string> placement = {"--min-x", "0",  "--max-x", "99", "--min-y", "0",
                                                "--max-y", "99", "--off-x", "10", "--off-y", "10",
                                                "--off-z", "0"};
    struct Case {
        std::vector<std::string> more;
        std::string says;
        int status;
    };
    const std::vector<Case> cases = {
        {{"--preview", dir.File("no/such/dir/p.png")}, "p.png", kExitOperationFailed},
        {{"--from-map", "1", "--preview", dir.File("p.png")},
         "has no map1.mul or map1LegacyMUL.uop.",
         kExitOperationFailed},
        {{"--preview="}, "--preview: the picture to write needs a file name", kExitUsage},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = Transplant("from", "to", placement);
        arguments.insert(arguments.end(), c.more.begin(), c.more.end());
        const RenderRun run = Cli(arguments);
        EXPECT_EQ(run.status, c.status) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    // Damaged destination statics: the transplant's own refusal.
    test::Bytes index = test::ReadBytes(dir.File("to/staidx4.mul"));
    index.resize(index.size() - 12);
    test::WriteBytes(dir.File("to/staidx4.mul"), index);
    std::vector<std::string> arguments = Transplant("from", "to", placement);
    arguments.insert(arguments.end(), {"--preview", dir.File("p.png")});
    const RenderRun damaged = Cli(arguments);
    EXPECT_EQ(damaged.status, kExitOperationFailed);
    EXPECT_NE(damaged.err.find("kestrel-cli: transplant --preview: Error: destination "
                               "staidx4.mul is too short"),
              std::string::npos)
        << damaged.err;
    EXPECT_NE(damaged.err.find("Nothing was changed."), std::string::npos) << damaged.err;

    EXPECT_FALSE(std::filesystem::exists(dir.File("p.png")));
    EXPECT_TRUE(test::ReadBytes(dir.File("to/map4.mul")) == before[0]);
    EXPECT_TRUE(test::ReadBytes(dir.File("to/statics4.mul")) == before[2]);
    EXPECT_FALSE(std::filesystem::exists(dir.File("state")));
}

}  // namespace
}  // namespace kestrel
