#include <gtest/gtest.h>
#include <png.h>

#include <vector>

#include "clientfiles/file_exception.h"
#include "operations/png_writer.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

// The PNG at path read back through libpng as 0xFFRRGGBB pixels.
MapImage ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        ADD_FAILURE() << image.message;
        return {};
    }
    EXPECT_EQ(image.format, PNG_FORMAT_RGB) << "written as 8-bit RGB";
    image.format = PNG_FORMAT_BGRA;  // bytes B, G, R, A: 0xAARRGGBB little-endian
    MapImage pixels(static_cast<int>(image.width), static_cast<int>(image.height));
    if (png_image_finish_read(&image, nullptr, pixels.pixels.data(), 0, nullptr) == 0) {
        ADD_FAILURE() << image.message;
    }
    return pixels;
}

TEST(PngWriterTest, ThePictureReadsBackWithItsSizeAndEveryPixel) {
    test::TempDir dir;
    // A stride wider than the picture: the pixels past each row are not drawn.
    const std::vector<Argb> source = {0xFF000000u, 0xFFFF0000u, 0xFF00FF00u, 0xFFDEADBEu,
                                      0xFF0000FFu, 0xFFFFFFFFu, 0xFF123456u, 0xFFDEADBEu};
    const ImageView view{source.data(), 3, 2, 4};
    WritePng(dir.File("map.png"), view);
    const MapImage read = ReadPng(dir.File("map.png"));
    ASSERT_EQ(read.width, 3);
    ASSERT_EQ(read.height, 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(read.At(x, y), view.At(x, y)) << x << "," << y;
        }
    }
}

TEST(PngWriterTest, AFileThatCannotBeCreatedThrowsNamingIt) {
    test::TempDir dir;
    const std::vector<Argb> pixel = {0xFF000000u};
    const std::string path = dir.File("missing/map.png");
    try {
        WritePng(path, {pixel.data(), 1, 1, 1});
        ADD_FAILURE() << "no exception";
    } catch (const FileException& failure) {
        EXPECT_EQ(failure.Cause(), FileErrorCause::FileNotFound);
        EXPECT_EQ(failure.FileName(), path);
    }
}

}  // namespace
}  // namespace kestrel
