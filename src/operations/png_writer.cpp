#include "operations/png_writer.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "clientfiles/file_exception.h"

namespace kestrel {

namespace {

// What went wrong inside libpng: its message, and the errno of a failed write.
struct PngFailure {
    char message[256] = {};
    int writeError = 0;
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void OnPngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, file) != length) {
        auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
        failure->writeError = errno != 0 ? errno : EIO;
        png_error(png, "write failed");
    }
}

void OnPngFlush(png_structp png) {
    std::fflush(static_cast<std::FILE*>(png_get_io_ptr(png)));
}

// Converts a row of 0xFFRRGGBB pixels to R, G, B bytes.
void ToRgb(const Argb* pixels, int width, png_bytep rgb) {
    for (int x = 0; x < width; ++x) {
        const Argb pixel = pixels[x];
        rgb[3 * x] = static_cast<png_byte>(pixel >> 16);
        rgb[3 * x + 1] = static_cast<png_byte>(pixel >> 8);
        rgb[3 * x + 2] = static_cast<png_byte>(pixel);
    }
}

// The libpng part: no object with a destructor lives in this frame, so the
// longjmp of an error skips nothing. Returns false on failure.
bool WriteRows(std::FILE* file, ImageView image, png_bytep row, PngFailure* failure) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, OnPngError, OnPngWarning);
    if (png == nullptr) {
        std::snprintf(failure->message, sizeof failure->message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(failure->message, sizeof failure->message, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, file, OnPngWrite, OnPngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Maps have long runs of one colour: the Sub filter and fast deflate give
    // small files at a fraction of the default's time.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        ToRgb(image.pixels + y * image.stride, image.width, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

void WritePng(const std::string& path, ImageView image) {
    if (image.width <= 0 || image.height <= 0) {
        throw std::invalid_argument("a PNG needs at least one pixel");
    }
    std::vector<png_byte> row(static_cast<std::size_t>(image.width) * 3);
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw FileException(FileException::CauseFromErrno(errno), path);
    }
    PngFailure failure;
    const bool written = WriteRows(file, image, row.data(), &failure);
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    const int closeError = errno;
    if (!written || !closed) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        if (written || failure.writeError != 0) {
            const int error = failure.writeError != 0 ? failure.writeError : closeError;
            throw FileException(FileException::CauseFromErrno(error != 0 ? error : EIO), path);
        }
        throw std::runtime_error(std::string("cannot write PNG ") + path + ": " +
                                 failure.message);
    }
}

}  // namespace kestrel
