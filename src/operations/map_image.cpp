#include "operations/map_image.h"

#include <algorithm>
#include <cmath>

namespace kestrel {

namespace {

std::int64_t Red(Argb color) {
    return static_cast<std::int64_t>((color >> 16) & 0xFFu);
}
std::int64_t Green(Argb color) {
    return static_cast<std::int64_t>((color >> 8) & 0xFFu);
}
std::int64_t Blue(Argb color) {
    return static_cast<std::int64_t>(color & 0xFFu);
}

// The channel sums and pixel count of a set of pixels.
struct ColorSum {
    std::int64_t red = 0;
    std::int64_t green = 0;
    std::int64_t blue = 0;
    std::int64_t count = 0;

    ColorSum& operator+=(const ColorSum& other) {
        red += other.red;
        green += other.green;
        blue += other.blue;
        count += other.count;
        return *this;
    }
};

// n times the squared distance of color from the mean of sum, times n: the
// distance is compared scaled so that it stays a whole number.
std::int64_t ScaledDistance(Argb color, const ColorSum& sum) {
    const std::int64_t red = sum.count * Red(color) - sum.red;
    const std::int64_t green = sum.count * Green(color) - sum.green;
    const std::int64_t blue = sum.count * Blue(color) - sum.blue;
    return red * red + green * green + blue * blue;
}

Argb Mean(const ColorSum& sum) {
    const auto mean = [&sum](std::int64_t channel) {
        return static_cast<Argb>((channel + sum.count / 2) / sum.count);
    };
    return 0xFF000000u | (mean(sum.red) << 16) | (mean(sum.green) << 8) | mean(sum.blue);
}

// A mixed window takes its outlying colour only when enough pixels of its
// context have that colour (within kSummarySpread): two thirds of the
// context's shorter side (twice the window's side inside the map, less where
// the map's edge cuts the context), and at least 3. A road, river or wall
// that crosses the window runs on through the context, while rocks or trees
// scattered over open ground are too few there and are averaged away instead
// of speckling a zoomed-out view.
int LineSupport(SampleWindow columns, SampleWindow rows) {
    return std::max(3, 2 * std::min(columns.end - columns.start, rows.end - rows.start) / 3);
}

// The rectangle of source pixels that the windows around (and including) the
// window at columns[at] span.
SampleWindow Around(std::span<const SampleWindow> windows, std::size_t at) {
    SampleWindow span = windows[at];
    for (std::size_t near = at - 1; near <= at + 1; ++near) {
        const SampleWindow window = windows[near];
        if (window.start < window.end) {
            span.start = std::min(span.start, window.start);
            span.end = std::max(span.end, window.end);
        }
    }
    return span;
}

bool Supported(ImageView source, SampleWindow columns, SampleWindow rows, Argb color) {
    const int support = LineSupport(columns, rows);
    constexpr std::int64_t kNear = std::int64_t{kSummarySpread} * kSummarySpread;
    int found = 0;
    for (int y = rows.start; y < rows.end; ++y) {
        const Argb* pixel = source.pixels + y * source.stride;
        for (int x = columns.start; x < columns.end; ++x) {
            const std::int64_t red = Red(pixel[x]) - Red(color);
            const std::int64_t green = Green(pixel[x]) - Green(color);
            const std::int64_t blue = Blue(pixel[x]) - Blue(color);
            if (red * red + green * green + blue * blue <= kNear && ++found >= support) {
                return true;
            }
        }
    }
    return false;
}

// The sums of the window of every column window in one row window.
void SumRow(ImageView source, std::span<const SampleWindow> columns, SampleWindow row,
            std::vector<ColorSum>& sums) {
    std::fill(sums.begin(), sums.end(), ColorSum{});
    if (row.start >= row.end) {
        return;
    }
    for (std::size_t at = 0; at < columns.size(); ++at) {
        const SampleWindow column = columns[at];
        ColorSum& sum = sums[at];
        for (int y = row.start; y < row.end; ++y) {
            const Argb* pixel = source.pixels + y * source.stride;
            for (int x = column.start; x < column.end; ++x) {
                sum.red += Red(pixel[x]);
                sum.green += Green(pixel[x]);
                sum.blue += Blue(pixel[x]);
            }
        }
        if (column.start < column.end) {
            sum.count = std::int64_t{column.end - column.start} * (row.end - row.start);
        }
    }
}

// Windows of up to this many pixels are summed in packed form: four 16-bit
// fields of one 64-bit word (blue, green, red, pixel count), which hold the
// sums of a context of nine such windows (9 x 28 x 255 < 65536).
constexpr int kPackedWindowPixels = 28;

using Packed = std::uint64_t;

constexpr Packed Pack(Argb color) {
    return (Packed{color & 0xFFu}) | (Packed{(color >> 8) & 0xFFu} << 16) |
           (Packed{(color >> 16) & 0xFFu} << 32) | (Packed{1} << 48);
}

constexpr std::int64_t Field(Packed sum, int field) {
    return static_cast<std::int64_t>((sum >> (16 * field)) & 0xFFFFu);
}

// ScaledDistance over packed sums: the differences fit 32 bits, their
// squares are summed in 64.
std::int64_t PackedDistance(Argb color, Packed sum) {
    const auto count = static_cast<std::int32_t>(Field(sum, 3));
    const std::int64_t red = count * static_cast<std::int32_t>(Red(color)) -
                             static_cast<std::int32_t>(Field(sum, 2));
    const std::int64_t green = count * static_cast<std::int32_t>(Green(color)) -
                               static_cast<std::int32_t>(Field(sum, 1));
    const std::int64_t blue = count * static_cast<std::int32_t>(Blue(color)) -
                              static_cast<std::int32_t>(Field(sum, 0));
    return red * red + green * green + blue * blue;
}

Argb PackedMean(Packed sum) {
    const auto count = static_cast<std::uint32_t>(Field(sum, 3));
    // Windows of 2 and 4 pixels are by far the most common; dividing by a
    // constant spares the slow division.
    const auto mean = [count](std::int64_t channel) {
        const auto rounded = static_cast<std::uint32_t>(channel) + count / 2;
        switch (count) {
            case 2:
                return rounded / 2;
            case 4:
                return rounded / 4;
            default:
                return rounded / count;
        }
    };
    return 0xFF000000u | (mean(Field(sum, 2)) << 16) | (mean(Field(sum, 1)) << 8) |
           mean(Field(sum, 0));
}

// The packed sums of every column window in one row window, and in context
// the sums of each window with its left and right neighbours.
void PackedRow(ImageView source, std::span<const SampleWindow> columns, SampleWindow row,
               std::vector<Packed>& sums, std::vector<Packed>& context) {
    if (row.start >= row.end) {
        std::fill(sums.begin(), sums.end(), Packed{0});
        std::fill(context.begin(), context.end(), Packed{0});
        return;
    }
    const Argb* top = source.pixels + row.start * source.stride;
    const bool twoRows = row.end - row.start == 2;
    for (std::size_t at = 0; at < columns.size(); ++at) {
        const SampleWindow column = columns[at];
        if (twoRows && column.end - column.start == 2) {
            const Argb* pixel = top + column.start;
            sums[at] = Pack(pixel[0]) + Pack(pixel[1]) + Pack(pixel[source.stride]) +
                       Pack(pixel[source.stride + 1]);
            continue;
        }
        Packed sum = 0;
        for (int y = row.start; y < row.end; ++y) {
            const Argb* pixel = source.pixels + y * source.stride;
            for (int x = column.start; x < column.end; ++x) {
                sum += Pack(pixel[x]);
            }
        }
        sums[at] = sum;
    }
    for (std::size_t at = 1; at + 1 < columns.size(); ++at) {
        context[at] = sums[at - 1] + sums[at] + sums[at + 1];
    }
}

// ResampleWindows for windows of at most kPackedWindowPixels pixels.
void ResamplePacked(ImageView source, std::span<const SampleWindow> columns,
                    std::span<const SampleWindow> rows, Argb* out, std::ptrdiff_t outStride,
                    Argb background) {
    const std::size_t width = columns.size() - 2;
    const std::size_t height = rows.size() - 2;
    std::vector<Packed> sums[3];
    std::vector<Packed> context[3];
    for (int at = 0; at < 3; ++at) {
        sums[at].resize(columns.size());
        context[at].resize(columns.size());
    }
    // Rolling: slot (py + k) % 3 holds window row py + k.
    PackedRow(source, columns, rows[0], sums[0], context[0]);
    PackedRow(source, columns, rows[1], sums[1], context[1]);
    for (std::size_t py = 0; py < height; ++py) {
        PackedRow(source, columns, rows[py + 2], sums[(py + 2) % 3], context[(py + 2) % 3]);
        const std::vector<Packed>& here = sums[(py + 1) % 3];
        const std::vector<Packed>& above = context[py % 3];
        const std::vector<Packed>& level = context[(py + 1) % 3];
        const std::vector<Packed>& below = context[(py + 2) % 3];
        const SampleWindow row = rows[py + 1];
        Argb* line = out + static_cast<std::ptrdiff_t>(py) * outStride;
        for (std::size_t px = 0; px < width; ++px) {
            const Packed window = here[px + 1];
            const std::int64_t count = Field(window, 3);
            if (count == 0) {
                line[px] = background;
                continue;
            }
            const SampleWindow column = columns[px + 1];
            const Argb* first = source.pixels + row.start * source.stride + column.start;
            if (count == 1) {
                line[px] = *first;
                continue;
            }
            const int windowColumns = column.end - column.start;
            const int windowRows = row.end - row.start;
            const std::int64_t spread = count * kSummarySpread;
            if (windowColumns == 2 && windowRows == 2 && first[0] == first[1] &&
                first[0] == first[source.stride] &&
                first[0] == first[source.stride + 1]) {
                line[px] = first[0];  // one colour throughout: its own mean
                continue;
            }
            bool mixed = false;
            for (int y = 0; y < windowRows && !mixed; ++y) {
                const Argb* pixel = first + y * source.stride;
                for (int x = 0; x < windowColumns; ++x) {
                    if (PackedDistance(pixel[x], window) > spread * spread) {
                        mixed = true;
                        break;
                    }
                }
            }
            if (!mixed) {
                line[px] = PackedMean(window);
                continue;
            }
            const Packed around = above[px + 1] + level[px + 1] + below[px + 1];
            std::int64_t farthest = -1;
            Argb chosen = *first;
            for (int y = 0; y < windowRows; ++y) {
                const Argb* pixel = first + y * source.stride;
                for (int x = 0; x < windowColumns; ++x) {
                    const std::int64_t distance = PackedDistance(pixel[x], around);
                    if (distance > farthest) {
                        farthest = distance;
                        chosen = pixel[x];
                    }
                }
            }
            line[px] = Supported(source, Around(columns, px + 1), Around(rows, py + 1), chosen)
                           ? chosen
                           : PackedMean(window);
        }
    }
}

int LargestWindow(std::span<const SampleWindow> windows) {
    int largest = 0;
    for (const SampleWindow window : windows) {
        largest = std::max(largest, window.end - window.start);
    }
    return largest;
}

}  // namespace

std::vector<SampleWindow> SampleWindows(double origin, double scale, int first, int count,
                                        int sourceSize) {
    std::vector<SampleWindow> windows(static_cast<std::size_t>(std::max(count, 0)));
    for (int at = 0; at < count; ++at) {
        const int pixel = first + at;
        const double from = std::floor(origin + pixel * scale);
        const double to = std::max(from + 1, std::floor(origin + (pixel + 1) * scale));
        windows[static_cast<std::size_t>(at)] = {
            static_cast<int>(std::clamp(from, 0.0, double(sourceSize))),
            static_cast<int>(std::clamp(to, 0.0, double(sourceSize)))};
    }
    return windows;
}

void ResampleWindows(ImageView source, std::span<const SampleWindow> columns,
                     std::span<const SampleWindow> rows, Argb* out, std::ptrdiff_t outStride,
                     Argb background) {
    if (columns.size() < 3 || rows.size() < 3) {
        return;
    }
    const int widest = LargestWindow(columns);
    const int tallest = LargestWindow(rows);
    if (widest <= 1 && tallest <= 1) {
        // Enlarged or at one pixel per pixel: each pixel is its window's.
        for (std::size_t py = 0; py + 2 < rows.size(); ++py) {
            const SampleWindow row = rows[py + 1];
            Argb* line = out + static_cast<std::ptrdiff_t>(py) * outStride;
            const Argb* pixels = source.pixels + row.start * source.stride;
            for (std::size_t px = 0; px + 2 < columns.size(); ++px) {
                const SampleWindow column = columns[px + 1];
                line[px] = row.start < row.end && column.start < column.end ? pixels[column.start]
                                                                            : background;
            }
        }
        return;
    }
    if (widest * tallest <= kPackedWindowPixels) {
        ResamplePacked(source, columns, rows, out, outStride, background);
        return;
    }
    const std::size_t width = columns.size() - 2;
    const std::size_t height = rows.size() - 2;
    // The sums of the window rows above, at and below the row being drawn.
    std::vector<ColorSum> above(columns.size());
    std::vector<ColorSum> here(columns.size());
    std::vector<ColorSum> below(columns.size());
    SumRow(source, columns, rows[0], above);
    SumRow(source, columns, rows[1], here);
    for (std::size_t py = 0; py < height; ++py) {
        SumRow(source, columns, rows[py + 2], below);
        const SampleWindow row = rows[py + 1];
        Argb* line = out + static_cast<std::ptrdiff_t>(py) * outStride;
        for (std::size_t px = 0; px < width; ++px) {
            const SampleWindow column = columns[px + 1];
            const ColorSum& window = here[px + 1];
            if (window.count == 0) {
                line[px] = background;
                continue;
            }
            const Argb* first = source.pixels + row.start * source.stride + column.start;
            if (window.count == 1) {
                line[px] = *first;
                continue;
            }
            const int windowColumns = column.end - column.start;
            const int windowRows = row.end - row.start;
            const std::int64_t spread = window.count * kSummarySpread;
            bool mixed = false;
            for (int y = 0; y < windowRows && !mixed; ++y) {
                const Argb* pixel = first + y * source.stride;
                for (int x = 0; x < windowColumns; ++x) {
                    if (ScaledDistance(pixel[x], window) > spread * spread) {
                        mixed = true;
                        break;
                    }
                }
            }
            if (!mixed) {
                line[px] = Mean(window);
                continue;
            }
            ColorSum context;
            for (std::size_t at = px; at < px + 3; ++at) {
                context += above[at];
                context += here[at];
                context += below[at];
            }
            std::int64_t farthest = -1;
            Argb chosen = *first;
            for (int y = 0; y < windowRows; ++y) {
                const Argb* pixel = first + y * source.stride;
                for (int x = 0; x < windowColumns; ++x) {
                    const std::int64_t distance = ScaledDistance(pixel[x], context);
                    if (distance > farthest) {
                        farthest = distance;
                        chosen = pixel[x];
                    }
                }
            }
            line[px] = Supported(source, Around(columns, px + 1), Around(rows, py + 1), chosen)
                           ? chosen
                           : Mean(window);
        }
        std::swap(above, here);
        std::swap(here, below);
    }
}

void ResampleImage(ImageView source, double originX, double originY, double scale, int width,
                   int height, Argb* out, std::ptrdiff_t outStride, Argb background) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const std::vector<SampleWindow> columns =
        SampleWindows(originX, scale, -1, width + 2, source.width);
    const std::vector<SampleWindow> rows =
        SampleWindows(originY, scale, -1, height + 2, source.height);
    ResampleWindows(source, columns, rows, out, outStride, background);
}

}  // namespace kestrel
