#pragma once

// Images of drawn maps, 0xFFRRGGBB per pixel (QImage::Format_RGB32), and how
// many pixels are summarised into one when a map is drawn zoomed out.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "clientfiles/large_buffer.h"
#include "clientfiles/radar_colors.h"

namespace kestrel {

// A borrowed image: pixel (x, y) at pixels[y * stride + x].
struct ImageView {
    const Argb* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;  // pixels from one row to the next

    Argb At(int x, int y) const { return pixels[y * stride + x]; }
};

// An image that owns its pixels, rows stored one after the other (in large
// pages when it is large, see LargeBufferAllocator).
struct MapImage {
    int width = 0;
    int height = 0;
    LargeVector<Argb> pixels;

    MapImage() = default;
    MapImage(int width, int height, Argb fill = 0xFF000000u)
        : width(width), height(height),
          pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

    // An image whose pixels are left unset, for one about to be painted whole.
    static MapImage Unfilled(int width, int height) {
        MapImage image;
        image.width = width;
        image.height = height;
        image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        return image;
    }

    Argb At(int x, int y) const { return pixels[Index(x, y)]; }
    Argb& At(int x, int y) { return pixels[Index(x, y)]; }
    ImageView View() const { return {pixels.data(), width, height, width}; }

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x);
    }
};

// A window of pixels counts as mixed when one of its pixels lies farther than
// this, as a distance in RGB (0..441), from the window's mean colour.
inline constexpr int kSummarySpread = 20;

// Draws source scaled into a width x height image at out (rows apart by
// outStride). Pixel (px, py) summarises its window: the source pixels of
// columns floor(originX + px * scale) up to, not including, floor(originX +
// (px + 1) * scale), and the rows likewise from originY; where that range is
// empty (scale below 1, drawn enlarged) the window is the single pixel at its
// start. Neighbouring windows touch without gap or overlap, so no source pixel
// is skipped when scale >= 1. Parts of windows outside the source are left
// out; a pixel whose window lies wholly outside is background.
//
// A window that is not mixed (see kSummarySpread) is drawn in its mean
// colour, each channel rounded to nearest, so ground that varies only a little
// is averaged. A mixed window is drawn in the colour of its pixel farthest
// from the mean of its context, the window and its eight neighbours (the
// first such pixel on a tie): a road, river or wall one pixel wide is rare in
// the context and so keeps its own colour at every zoom, while the window
// that holds it is half road. That colour is taken only when at least
// max(3, two thirds of the context's shorter side) pixels of the context lie
// within kSummarySpread of it, as they do along a line; scattered outliers (single
// rocks or trees on open ground) leave the window in its mean colour
// instead. scale must be positive.
void ResampleImage(ImageView source, double originX, double originY, double scale, int width,
                   int height, Argb* out, std::ptrdiff_t outStride, Argb background);

// The range of source pixels [start, end) that one output pixel summarises
// along one axis, clipped to the source; start >= end marks a pixel outside.
struct SampleWindow {
    int start = 0;
    int end = 0;
};

// The windows of output pixels first .. first + count - 1 along an axis of
// sourceSize pixels, by the rule of ResampleImage (first may be negative).
std::vector<SampleWindow> SampleWindows(double origin, double scale, int first, int count,
                                        int sourceSize);

// ResampleImage with the windows given, each span holding one window more at
// either end than the pixels drawn (the windows of pixels -1 and width or
// height, which serve as context only): out is (columns.size() - 2) x
// (rows.size() - 2) pixels. The windows must lie inside source or be empty.
void ResampleWindows(ImageView source, std::span<const SampleWindow> columns,
                     std::span<const SampleWindow> rows, Argb* out, std::ptrdiff_t outStride,
                     Argb background);

// ResampleImage of source at scale 2 from its corner, for the output pixels
// of columns firstColumn .. firstColumn + width - 1 and rows firstRow ..
// firstRow + height - 1 only (inside the half-size image, ceil(source.width /
// 2) x ceil(source.height / 2)): pixel (px, py) is written at out[(py -
// firstRow) * outStride + px - firstColumn]. The same colours as
// ResampleImage, faster: this is how zoomed-out levels of a whole map are
// built.
void HalveImage(ImageView source, int firstColumn, int firstRow, int width, int height,
                Argb* out, std::ptrdiff_t outStride);

}  // namespace kestrel
