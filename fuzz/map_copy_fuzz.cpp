// The map copy over short source and destination files of any content and
// any valid settings. Input: 17 bytes of settings and sizes, the source part,
// then the destination. The copy must either refuse a source too short for
// the rectangle (changing nothing) or leave the destination exactly as a
// cell-by-cell copy makes it; the source never changes.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <vector>

#include "fuzz_support.h"
#include "operations/map_region_copy.h"
#include "support/map_fixture.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

using kestrel::fuzz::Check;
using kestrel::fuzz::TakeU16;
using kestrel::test::Bytes;
using kestrel::test::MapCellPosition;

namespace {

constexpr std::size_t kHeader = 17;

// Checks the destination file against its old bytes with the changed bytes
// laid over them and zeros where it grew. The file can reach 77 MB when the
// rectangle lands on the map's last block column; only the parts that hold
// data are read.
void CheckDestination(const std::string& path, const Bytes& old,
                      const std::map<std::uint64_t, std::uint8_t>& changes, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    Check(fd >= 0, "cannot open the destination");
    Check(static_cast<std::uint64_t>(::lseek(fd, 0, SEEK_END)) == size,
          "the destination has the wrong length");
    const auto expectedAt = [&](std::uint64_t at) -> std::uint8_t {
        if (const auto found = changes.find(at); found != changes.end()) {
            return found->second;
        }
        return at < old.size() ? old[at] : 0;
    };
    const auto checkRange = [&](std::uint64_t from, std::uint64_t to) {
        std::uint8_t buffer[65536];
        while (from < to) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(to - from, sizeof buffer));
            const ssize_t got = ::pread(fd, buffer, want, static_cast<off_t>(from));
            Check(got > 0, "cannot read the destination");
            for (ssize_t i = 0; i < got; ++i) {
                Check(buffer[i] == expectedAt(from + static_cast<std::uint64_t>(i)),
                      "a destination byte differs from the cell-by-cell copy");
            }
            from += static_cast<std::uint64_t>(got);
        }
    };
    if (size <= (std::uint64_t{4} << 20)) {
        ::close(fd);
        Bytes expected = old;
        expected.resize(static_cast<std::size_t>(size), 0);
        for (const auto& [position, value] : changes) {
            expected[static_cast<std::size_t>(position)] = value;
        }
        Check(kestrel::test::ReadBytes(path) == expected,
              "the destination differs from the cell-by-cell copy");
        return;
    }
    // Past the old end the file is mostly a hole, which reads as zeros: read
    // only the extents that hold data, and expect a zero for every change that
    // falls into a hole.
    checkRange(0, old.size());
    std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;
    std::uint64_t at = old.size();
    while (at < size) {
        const off_t data = ::lseek(fd, static_cast<off_t>(at), SEEK_DATA);
        if (data < 0) {
            Check(errno == ENXIO, "SEEK_DATA failed");
            break;
        }
        const off_t hole = ::lseek(fd, data, SEEK_HOLE);
        Check(hole > data, "SEEK_HOLE failed");
        checkRange(static_cast<std::uint64_t>(data), static_cast<std::uint64_t>(hole));
        extents.emplace_back(data, hole);
        at = static_cast<std::uint64_t>(hole);
    }
    for (auto change = changes.lower_bound(old.size()); change != changes.end(); ++change) {
        const bool inData = std::any_of(extents.begin(), extents.end(), [&](const auto& extent) {
            return change->first >= extent.first && change->first < extent.second;
        });
        Check(inData || change->second == 0, "a copied cell is missing from the destination");
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    using namespace kestrel;
    if (size < kHeader) {
        return 0;
    }
    // Flags: bit 0 puts the corner near the right edge, bit 1 near the bottom,
    // bit 2 repeats the source bytes up to a chosen length of up to three
    // block columns.
    const std::uint8_t flags = input[0];
    CopySettings settings;
    settings.minX = static_cast<int>(TakeU16(input, size, 1) % 24);
    settings.maxX = static_cast<int>(TakeU16(input, size, 3) % 24);
    settings.minY = static_cast<int>(TakeU16(input, size, 5) % 160);
    settings.maxY = static_cast<int>(TakeU16(input, size, 7) % 160);
    const int cornerX = static_cast<int>(TakeU16(input, size, 9) % 40);
    settings.offX = (flags & 1) != 0 ? 6143 - cornerX : cornerX;
    const int cornerY = static_cast<int>(TakeU16(input, size, 11) % 200);
    settings.offY = (flags & 2) != 0 ? 4095 - cornerY % 40 : cornerY;
    settings.offZ = static_cast<int>(TakeU16(input, size, 13) % 513) - 256;
    const std::size_t sourceSize = std::min<std::size_t>(TakeU16(input, size, 15), size - kHeader);
    Bytes source(input + kHeader, input + kHeader + sourceSize);
    Bytes dest(input + kHeader + sourceSize, input + size);
    if ((flags & 4) != 0 && !source.empty()) {
        const std::size_t length =
            (std::size_t{input[1]} * 1181 + std::size_t{input[2]} * 7) % (3 * 100352);
        Bytes tiled(length);
        for (std::size_t at = 0; at < length; ++at) {
            tiled[at] = source[at % source.size()];
        }
        source.swap(tiled);
    }

    // Map files are whole 196-byte blocks (other lengths are refused as no
    // map before anything is read); the rule below is for those.
    source.resize(source.size() - source.size() % 196);
    dest.resize(dest.size() - dest.size() % 196);

    // The copy as stated: rows top to bottom, cells left to right, skipping
    // what lands right of or below the map.
    std::map<std::uint64_t, std::uint8_t> changes;
    std::uint64_t needed = 0;
    std::uint64_t grownSize = dest.size();
    for (int y = settings.minY; y <= settings.maxY; ++y) {
        const int toY = settings.offY + (y - settings.minY);
        if (toY >= 4096) {
            break;
        }
        for (int x = settings.minX; x <= settings.maxX; ++x) {
            const int toX = settings.offX + (x - settings.minX);
            if (toX >= 6144) {
                break;
            }
            const std::uint64_t from = MapCellPosition(x, y);
            const std::uint64_t to = MapCellPosition(toX, toY);
            needed = std::max(needed, from + 3);
            grownSize = std::max(grownSize, to + 3);
            if (from + 3 <= source.size()) {
                changes[to] = source[from];
                changes[to + 1] = source[from + 1];
                changes[to + 2] = static_cast<std::uint8_t>(source[from + 2] + settings.offZ);
            }
        }
    }
    const bool refused = needed > source.size();

    const std::string& directory = fuzz::ScratchDirectory();
    settings.sourceMapPath = directory + "/source-map0.mul";
    settings.destMapPath = directory + "/dest-map0.mul";
    test::WriteBytes(settings.sourceMapPath, source);
    test::WriteBytes(settings.destMapPath, dest);
    test::RecordingUi ui;
    CopyMapRegion(settings, ui);

    Check(test::ReadBytes(settings.sourceMapPath) == source, "the source was changed");
    if (refused) {
        Check(ui.events == std::vector<std::string>{"begin", "end",
                                                    std::string("message: ") + kSourceMapTooShort},
              "a source too short for the rectangle was not refused");
        Check(test::ReadBytes(settings.destMapPath) == dest,
              "a refused copy changed the destination");
    } else {
        Check(ui.events == std::vector<std::string>{"begin", "end"},
              "a sound copy showed something");
        CheckDestination(settings.destMapPath, dest, changes, grownSize);
    }
    return 0;
}
