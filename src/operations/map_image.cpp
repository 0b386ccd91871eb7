#include "operations/map_image.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

constexpr std::int64_t kNearDistance = std::int64_t{kSummarySpread} * kSummarySpread;

bool Near(Argb pixel, Argb color) {
    const std::int64_t red = Red(pixel) - Red(color);
    const std::int64_t green = Green(pixel) - Green(color);
    const std::int64_t blue = Blue(pixel) - Blue(color);
    return red * red + green * green + blue * blue <= kNearDistance;
}

#if defined(__SSE2__)
// Bit i set when pixel i of the four in pixels lies within kSummarySpread of
// color (color given in every lane, its alpha cleared).
int NearMask(__m128i pixels, __m128i color) {
    const __m128i rgb = _mm_and_si128(pixels, _mm_set1_epi32(0x00FFFFFF));
    // A channel more than kSummarySpread apart is too far on its own, so the
    // differences are capped where their squares still fit 16 bits.
    const __m128i difference =
        _mm_min_epu8(_mm_or_si128(_mm_subs_epu8(rgb, color), _mm_subs_epu8(color, rgb)),
                     _mm_set1_epi8(static_cast<char>(kSummarySpread + 1)));
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_unpacklo_epi8(difference, zero);
    const __m128i high = _mm_unpackhi_epi8(difference, zero);
    // Per pixel: blue^2 + green^2 in one 32-bit lane, red^2 in the next.
    const __m128i lowSquares = _mm_madd_epi16(low, low);
    const __m128i highSquares = _mm_madd_epi16(high, high);
    const __m128i lowSums = _mm_add_epi32(lowSquares, _mm_srli_epi64(lowSquares, 32));
    const __m128i highSums = _mm_add_epi32(highSquares, _mm_srli_epi64(highSquares, 32));
    const __m128i distances = _mm_castps_si128(_mm_shuffle_ps(
        _mm_castsi128_ps(lowSums), _mm_castsi128_ps(highSums), _MM_SHUFFLE(2, 0, 2, 0)));
    return _mm_movemask_ps(_mm_castsi128_ps(
        _mm_cmplt_epi32(distances, _mm_set1_epi32(static_cast<int>(kNearDistance) + 1))));
}
#endif

// How many of the count pixels from row on lie within kSummarySpread of color.
int CountNear(const Argb* row, int count, Argb color) {
    int found = 0;
    int x = 0;
#if defined(__SSE2__)
    // The bits set in each 4-bit mask (the baseline instruction set has no
    // population count).
    constexpr std::uint8_t kBitsSet[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    const __m128i wanted = _mm_set1_epi32(static_cast<int>(color & 0x00FFFFFFu));
    for (; x + 4 <= count; x += 4) {
        found += kBitsSet[NearMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)),
                                   wanted)];
    }
    if (x + 2 <= count) {
        found += kBitsSet[NearMask(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x)),
                                   wanted) &
                          0b0011];
        x += 2;
    }
#endif
    for (; x < count; ++x) {
        found += Near(row[x], color) ? 1 : 0;
    }
    return found;
}

bool Supported(ImageView source, SampleWindow columns, SampleWindow rows, Argb color) {
    const int support = LineSupport(columns, rows);
    int found = 0;
    for (int y = rows.start; y < rows.end; ++y) {
        found += CountNear(source.pixels + y * source.stride + columns.start,
                           columns.end - columns.start, color);
        if (found >= support) {
            return true;
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

#if defined(__SSE2__)
// The four pixels in one vector, built from registers: a vector load of
// pixels just stored one by one would wait for the stores.
__m128i Gather(const Argb (&window)[4]) {
    return _mm_setr_epi32(static_cast<int>(window[0]), static_cast<int>(window[1]),
                          static_cast<int>(window[2]), static_cast<int>(window[3]));
}
#endif

#if defined(__SSE2__)
// PackedDistance of each of the four pixels from sum, in lanes 0 and 2 of
// each half: pixels 0 and 1 in low, 2 and 3 in high. count * pixel - sum
// per channel fits 16 bits for sums of up to 36 pixels (within +-9180), the
// sum of its squares 31.
struct LaneDistances {
    __m128i low;
    __m128i high;
};

LaneDistances PackedDistances(const Argb (&window)[4], Packed sum) {
    const __m128i pixels = _mm_and_si128(Gather(window), _mm_set1_epi32(0x00FFFFFF));
    // The channels' sums without the count, which meets the cleared alpha.
    const __m128i sums = _mm_set1_epi64x(static_cast<long long>(sum & 0x0000FFFFFFFFFFFFull));
    const __m128i times = _mm_set1_epi16(static_cast<short>(Field(sum, 3)));
    const __m128i zero = _mm_setzero_si128();
    const __m128i low =
        _mm_sub_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(pixels, zero), times), sums);
    const __m128i high =
        _mm_sub_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(pixels, zero), times), sums);
    // Per pixel: blue^2 + green^2 in one 32-bit lane, red^2 in the next.
    const __m128i lowSquares = _mm_madd_epi16(low, low);
    const __m128i highSquares = _mm_madd_epi16(high, high);
    return {_mm_add_epi32(lowSquares, _mm_srli_epi64(lowSquares, 32)),
            _mm_add_epi32(highSquares, _mm_srli_epi64(highSquares, 32))};
}
#endif

// Whether a window of up to 2 x 2 pixels whose packed sum is sum is mixed:
// one of its pixels lies farther than kSummarySpread from the window's mean.
// window holds its pixels in reading order, repeated from the first up to
// four (a repeated pixel lies no farther than itself).
bool WindowMixed(const Argb (&window)[4], Packed sum) {
    const std::int64_t spread = Field(sum, 3) * kSummarySpread;
#if defined(__SSE2__)
    const auto [low, high] = PackedDistances(window, sum);
    const __m128i limit = _mm_set1_epi32(static_cast<int>(spread * spread));
    const __m128i far = _mm_or_si128(_mm_cmpgt_epi32(low, limit), _mm_cmpgt_epi32(high, limit));
    return (_mm_movemask_ps(_mm_castsi128_ps(far)) & 0b0101) != 0;
#else
    for (const Argb color : window) {
        if (PackedDistance(color, sum) > spread * spread) {
            return true;
        }
    }
    return false;
#endif
}

// Which pixel of a window of up to 2 x 2 pixels (held as for WindowMixed)
// lies farthest from the mean of its context of up to 6 x 6 pixels, whose
// packed sum is around; the first on a tie.
int FarthestOfWindow(const Argb (&window)[4], Packed around) {
    std::int64_t distances[4];
#if defined(__SSE2__)
    const auto [low, high] = PackedDistances(window, around);
    alignas(16) std::int32_t lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), low);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 4), high);
    distances[0] = lanes[0];
    distances[1] = lanes[2];
    distances[2] = lanes[4];
    distances[3] = lanes[6];
#else
    for (int at = 0; at < 4; ++at) {
        distances[at] = PackedDistance(window[at], around);
    }
#endif
    int farthest = 0;
    for (int at = 1; at < 4; ++at) {
        if (distances[at] > distances[farthest]) {
            farthest = at;
        }
    }
    return farthest;
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
    // The context spans of the columns are the same on every row.
    std::vector<SampleWindow> columnsAround(columns.size());
    for (std::size_t at = 1; at + 1 < columns.size(); ++at) {
        columnsAround[at] = Around(columns, at);
    }
    // Rolling: slot (py + k) % 3 holds window row py + k.
    PackedRow(source, columns, rows[0], sums[0], context[0]);
    PackedRow(source, columns, rows[1], sums[1], context[1]);
    for (std::size_t py = 0; py < height; ++py) {
        PackedRow(source, columns, rows[py + 2], sums[(py + 2) % 3], context[(py + 2) % 3]);
        const SampleWindow rowsAround = Around(rows, py + 1);
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
            if (windowColumns <= 2 && windowRows <= 2) {
                // The common windows of views between one and two cells a
                // pixel, through the vector helpers.
                const bool wide = windowColumns == 2;
                const bool tall = windowRows == 2;
                const Argb small[4] = {first[0],
                                       wide ? first[1] : tall ? first[source.stride] : first[0],
                                       wide && tall ? first[source.stride] : first[0],
                                       wide && tall ? first[source.stride + 1] : first[0]};
                if (!WindowMixed(small, window)) {
                    line[px] = PackedMean(window);
                    continue;
                }
                const Argb chosen = small[FarthestOfWindow(
                    small, above[px + 1] + level[px + 1] + below[px + 1])];
                line[px] = Supported(source, columnsAround[px + 1], rowsAround, chosen)
                               ? chosen
                               : PackedMean(window);
                continue;
            }
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
            line[px] = Supported(source, columnsAround[px + 1], rowsAround, chosen)
                           ? chosen
                           : PackedMean(window);
        }
    }
}

// The packed sums of the 2 x 2 windows of output pixels first - 1 ..
// first + count on window row windowRow (source rows 2 windowRow and the next),
// and in context each with its left and right neighbours; sums[i] and
// context[i] belong to output pixel first - 1 + i.
void HalvedRow(ImageView source, int windowRow, int first, int count, Packed* sums,
               Packed* context) {
    const Argb* top = source.pixels + 2 * windowRow * source.stride;
    const Argb* bottom = top + source.stride;
    for (int at = 0; at < count + 2; ++at) {
        const int x = 2 * (first - 1 + at);
        sums[at] = Pack(top[x]) + Pack(top[x + 1]) + Pack(bottom[x]) + Pack(bottom[x + 1]);
    }
    for (int at = 1; at <= count; ++at) {
        context[at] = sums[at - 1] + sums[at] + sums[at + 1];
    }
}

// ResampleWindows at scale 2 for output pixels whose window (2 x 2) and
// context (6 x 6) lie inside source: columns first .. first + count - 1 of
// rows firstRow .. endRow - 1, pixel (px, py) written at out[(py - firstRow) *
// outStride + px - first]. Gives the same colours by the same rule, with the
// window and context sizes fixed.
void HalveInside(ImageView source, int first, int count, int firstRow, int endRow, Argb* out,
                 std::ptrdiff_t outStride) {
    constexpr int kContextSide = 6;
    constexpr int kSupport = 2 * kContextSide / 3;
    const auto size = static_cast<std::size_t>(count + 2);
    std::vector<Packed> sums[3];
    std::vector<Packed> context[3];
    for (int at = 0; at < 3; ++at) {
        sums[at].resize(size);
        context[at].resize(size);
    }
    // Rolling: slot (py + k) % 3 holds window row py + k - 1.
    HalvedRow(source, firstRow - 1, first, count, sums[0].data(), context[0].data());
    HalvedRow(source, firstRow, first, count, sums[1].data(), context[1].data());
    for (int py = firstRow; py < endRow; ++py) {
        const int slot = py - firstRow;
        HalvedRow(source, py + 1, first, count, sums[(slot + 2) % 3].data(),
                  context[(slot + 2) % 3].data());
        const Packed* here = sums[(slot + 1) % 3].data();
        const Packed* above = context[slot % 3].data();
        const Packed* level = context[(slot + 1) % 3].data();
        const Packed* below = context[(slot + 2) % 3].data();
        const Argb* top = source.pixels + 2 * py * source.stride;
        const Argb* bottom = top + source.stride;
        Argb* line = out + static_cast<std::ptrdiff_t>(slot) * outStride;
        for (int at = 1; at <= count; ++at) {
            const int x = 2 * (first - 1 + at);
            const Argb window[4] = {top[x], top[x + 1], bottom[x], bottom[x + 1]};
            Argb& pixel = line[at - 1];
            if (window[0] == window[1] && window[0] == window[2] && window[0] == window[3]) {
                pixel = window[0];
                continue;
            }
            const Packed sum = here[at];
            if (!WindowMixed(window, sum)) {
                pixel = PackedMean(sum);
                continue;
            }
            const Argb chosen = window[FarthestOfWindow(window, above[at] + level[at] + below[at])];
            int found = 0;
            const Argb* corner = top - 2 * source.stride + x - 2;
            for (int y = 0; y < kContextSide && found < kSupport; ++y) {
                found += CountNear(corner + y * source.stride, kContextSide, chosen);
            }
            pixel = found >= kSupport ? chosen : PackedMean(sum);
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

void HalveImage(ImageView source, int firstColumn, int firstRow, int width, int height,
                Argb* out, std::ptrdiff_t outStride) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const std::vector<SampleWindow> columns =
        SampleWindows(0, 2, firstColumn - 1, width + 2, source.width);
    const std::vector<SampleWindow> rows =
        SampleWindows(0, 2, firstRow - 1, height + 2, source.height);
    const std::span<const SampleWindow> allColumns(columns);
    const std::span<const SampleWindow> allRows(rows);
    // The output pixels whose window and context lie wholly inside source go
    // to HalveInside; the border around them to ResampleWindows.
    const int endColumn = firstColumn + width;
    const int endRow = firstRow + height;
    int insideLeft = std::clamp(1, firstColumn, endColumn);
    int insideRight = std::clamp((source.width - 4) / 2 + 1, insideLeft, endColumn);
    const int insideTop = std::clamp(1, firstRow, endRow);
    const int insideBottom = std::clamp((source.height - 4) / 2 + 1, insideTop, endRow);
    if (insideLeft == insideRight) {
        insideLeft = insideRight = endColumn;
    }
    const auto outAt = [&](int px, int py) {
        return out + static_cast<std::ptrdiff_t>(py - firstRow) * outStride + (px - firstColumn);
    };
    const auto border = [&](int left, int right, int top, int bottom) {
        if (left < right && top < bottom) {
            ResampleWindows(source,
                            allColumns.subspan(static_cast<std::size_t>(left - firstColumn),
                                               static_cast<std::size_t>(right - left + 2)),
                            allRows.subspan(static_cast<std::size_t>(top - firstRow),
                                            static_cast<std::size_t>(bottom - top + 2)),
                            outAt(left, top), outStride, 0xFF000000u);
        }
    };
    border(firstColumn, endColumn, firstRow, insideTop);
    border(firstColumn, endColumn, insideBottom, endRow);
    border(firstColumn, insideLeft, insideTop, insideBottom);
    border(insideRight, endColumn, insideTop, insideBottom);
    if (insideLeft < insideRight && insideTop < insideBottom) {
        HalveInside(source, insideLeft, insideRight - insideLeft, insideTop, insideBottom,
                    outAt(insideLeft, insideTop), outStride);
    }
}

}  // namespace kestrel
