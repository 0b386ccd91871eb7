// Times drawing a whole 7168 x 4096 facet: the overview a map view opens on
// (files read, every cell painted, the levels built), repaints of a 1280 x 800
// view at zooms from 8 pixels per cell to 40 cells per pixel (first as the
// overview stands, painting the cells a view shows, then with every cell
// kept, as a source view does in the background), and the render
// command at --scale 4. Prints medians and whether each target is met.
//
//   kestrel-render-bench --cli KESTREL_CLI --dir SCRATCH_DIR [--runs N]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "clientfiles/byte_order.h"
#include "clientfiles/file_bytes.h"
#include "clientfiles/map_cells.h"
#include "clientfiles/map_file.h"
#include "clientfiles/radar_colors.h"
#include "clientfiles/static_blocks.h"
#include "operations/map_overview.h"
#include "operations/sample_radar_colors.h"

namespace kestrel::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr MapGeometry kFacet{7168, 4096};
constexpr double kOverviewTargetSeconds = 0.300;
constexpr double kRepaintTargetSeconds = 0.016;
constexpr double kRenderTargetSeconds = 1.0;
constexpr int kViewWidth = 1280;
constexpr int kViewHeight = 800;

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream stream(path, std::ios::binary);
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    if (!stream) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::uint32_t Next(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// A facet of rolling land: water below altitude 0, then sand, grass, dirt,
// rock and snow by altitude, each tile in four variants; 0 to 10 statics a
// block on land, among them trees of two items.
void MakeFacet(const std::string& directory) {
    std::vector<std::uint8_t> map(static_cast<std::size_t>(kFacet.BlockCount()) * kMapBlockBytes);
    std::vector<std::uint8_t> index(static_cast<std::size_t>(kFacet.BlockCount()) *
                                    kStaticIndexEntryBytes);
    std::vector<std::uint8_t> data;
    std::uint32_t state = 20240611;
    std::vector<int> altitudes(static_cast<std::size_t>(kFacet.width) * kFacet.height);
    const auto at = [](int x, int y) {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(kFacet.width) +
               static_cast<std::size_t>(x);
    };
    for (int y = 0; y < kFacet.height; ++y) {
        for (int x = 0; x < kFacet.width; ++x) {
            const double relief = 40 * std::sin(x / 311.0) * std::cos(y / 197.0) +
                                  25 * std::sin((x + 2 * y) / 83.0) + 10 * std::cos(x / 29.0);
            altitudes[at(x, y)] =
                std::clamp(static_cast<int>(relief) + static_cast<int>(Next(state) % 3), -5, 120);
        }
    }
    for (int bx = 0; bx < kFacet.BlockColumns(); ++bx) {
        for (int by = 0; by < kFacet.BlockRows(); ++by) {
            const std::size_t block = static_cast<std::size_t>(kFacet.BlockNumber(bx, by));
            std::uint8_t* cells = &map[block * kMapBlockBytes + kMapBlockHeaderBytes];
            const std::size_t first = data.size();
            for (int cell = 0; cell < 64; ++cell) {
                const int x = bx * 8 + cell % 8;
                const int y = by * 8 + cell / 8;
                const int altitude = altitudes[at(x, y)];
                const std::uint16_t base = altitude < 0    ? 0x00A8
                                           : altitude < 3  ? 0x0016
                                           : altitude < 40 ? 0x0003
                                           : altitude < 60 ? 0x0071
                                           : altitude < 90 ? 0x00DC
                                                           : 0x011A;
                StoreU16Le(cells + cell * kMapCellBytes,
                           static_cast<std::uint16_t>(base + Next(state) % 4));
                cells[cell * kMapCellBytes + 2] = static_cast<std::uint8_t>(altitude);
                if (altitude >= 3 && Next(state) % 64 < 10) {
                    const bool tree = Next(state) % 2 == 0;
                    const std::uint16_t graphics[] = {tree ? std::uint16_t{0x0CCD} : std::uint16_t{0x1363},
                                                      0x0CCE};
                    for (int item = 0; item < (tree ? 2 : 1); ++item) {
                        std::uint8_t record[kStaticRecordBytes] = {};
                        StoreU16Le(record, graphics[item]);
                        record[2] = static_cast<std::uint8_t>(cell % 8);
                        record[3] = static_cast<std::uint8_t>(cell / 8);
                        record[4] = static_cast<std::uint8_t>(altitude);
                        data.insert(data.end(), record, record + kStaticRecordBytes);
                    }
                }
            }
            std::uint8_t* entry = &index[block * kStaticIndexEntryBytes];
            StoreU32Le(entry, data.size() == first ? 0xFFFFFFFFu
                                                   : static_cast<std::uint32_t>(first));
            StoreU32Le(entry + 4, static_cast<std::uint32_t>(data.size() - first));
        }
    }
    Write(directory + "/map0.mul", map);
    Write(directory + "/staidx0.mul", index);
    Write(directory + "/statics0.mul", data);
    Write(directory + "/radarcol.mul", SampleRadarColorBytes());
}

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string LoadAverage() {
    std::ifstream stream("/proc/loadavg");
    std::string one, five, fifteen;
    stream >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Runs the program with arguments, its output to /dev/null; returns its exit
// status (-1 when it could not be run or did not exit).
int Spawn(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

const char* Verdict(bool met) {
    return met ? "met" : "NOT MET";
}

int Main(int argc, char** argv) {
    std::string directory;
    std::string cli;
    int runs = 5;
    for (int at = 1; at + 1 < argc; at += 2) {
        const std::string option = argv[at];
        if (option == "--cli") {
            cli = argv[at + 1];
        } else if (option == "--dir") {
            directory = argv[at + 1];
        } else if (option == "--runs") {
            runs = std::max(1, std::atoi(argv[at + 1]));
        }
    }
    if (directory.empty() || cli.empty()) {
        std::fprintf(stderr,
                     "usage: kestrel-render-bench --cli KESTREL_CLI --dir SCRATCH_DIR [--runs N]\n");
        return 2;
    }
    std::printf("Kestrel drawing benchmark: %d runs of each, medians, warm page cache\n", runs);
    std::printf("load average before: %s\n", LoadAverage().c_str());
    MakeFacet(directory);
    const std::string mapPath = directory + "/map0.mul";
    std::printf("facet %d x %d in %s: map0.mul %ju bytes, statics0.mul %ju bytes\n\n",
                kFacet.width, kFacet.height, directory.c_str(),
                std::uintmax_t(std::filesystem::file_size(mapPath)),
                std::uintmax_t(std::filesystem::file_size(directory + "/statics0.mul")));

    // 1. From choosing the file to the overview: read, paint, summarise.
    std::vector<double> overviewSeconds;
    std::vector<double> readSeconds;
    std::vector<double> fetchSeconds;
    std::vector<double> keptFetchSeconds;
    std::vector<double> keepSeconds;
    double slowestFetch = 0;
    double slowestZoom = 0;
    double slowestKeptFetch = 0;
    double slowestKeptZoom = 0;
    constexpr double kZooms[] = {0.125, 0.5, 1.0, 1.37, 1.9, 2.0, 3.0, 3.9, 5.6, 8.0, 13.0, 40.0};
    // One repaint of a 1280 x 800 view at each zoom, the first at its place
    // and zoom: zoomed in, the cells it shows are painted then.
    const auto repaints = [&](const MapOverview& overview, std::vector<double>& seconds,
                              double& slowest, double& slowestAt) {
        std::vector<Argb> view(std::size_t{kViewWidth} * kViewHeight);
        for (const double zoom : kZooms) {
            const Clock::time_point fetchStart = Clock::now();
            overview.Fetch(1000.5, 700.25, zoom, kViewWidth, kViewHeight, view.data(), kViewWidth);
            const double elapsed = Seconds(fetchStart);
            seconds.push_back(elapsed);
            if (elapsed > slowest) {
                slowest = elapsed;
                slowestAt = zoom;
            }
        }
    };
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        const LargeVector<std::uint8_t> map = ReadLargeFileBytes(mapPath);
        const LargeVector<std::uint8_t> index = ReadLargeFileBytes(directory + "/staidx0.mul");
        const LargeVector<std::uint8_t> data = ReadLargeFileBytes(directory + "/statics0.mul");
        const MapColors colors(RadarColors(ReadFileBytes(directory + "/radarcol.mul")));
        readSeconds.push_back(Seconds(start));
        const MulMapCells cells(kFacet, map);
        const MulStaticBlocks statics(kFacet, index, data);
        const MapOverview overview(MapPainter(cells, &statics, colors));
        overviewSeconds.push_back(Seconds(start));

        // 2. Repaints as the overview first stands, then once every cell is
        // kept (as the dialog does in the background for a source map).
        repaints(overview, fetchSeconds, slowestFetch, slowestZoom);
        const Clock::time_point keepStart = Clock::now();
        overview.KeepAllCells();
        keepSeconds.push_back(Seconds(keepStart));
        repaints(overview, keptFetchSeconds, slowestKeptFetch, slowestKeptZoom);
    }

    // 3. kestrel-cli render at --scale 4: the program started, files read,
    // PNG written.
    std::vector<double> renderSeconds;
    const std::string png = directory + "/facet.png";
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        const int status = Spawn({cli, "render", "--map", mapPath, "--statics-index",
                                  directory + "/staidx0.mul", "--statics-data",
                                  directory + "/statics0.mul", "--scale", "4", "--out", png});
        renderSeconds.push_back(Seconds(start));
        if (status != 0) {
            throw std::runtime_error("kestrel-cli render failed with status " +
                                     std::to_string(status));
        }
    }

    const double overview = Median(overviewSeconds);
    const double fetch = Median(fetchSeconds);
    const double keptFetch = Median(keptFetchSeconds);
    const double render = Median(renderSeconds);
    std::printf("%-52s %8.3fs  < %.3fs: %s\n", "1. overview of the facet (read + paint + levels)",
                overview, kOverviewTargetSeconds, Verdict(overview < kOverviewTargetSeconds));
    std::printf("%-52s %8.3fs\n", "   of which reading the files", Median(readSeconds));
    std::printf("%-52s %8.4fs  < %.3fs: %s\n", "2. first repaint 1280 x 800, median of all zooms",
                fetch, kRepaintTargetSeconds, Verdict(fetch < kRepaintTargetSeconds));
    std::printf("%-52s %8.4fs  < %.3fs: %s (at %.3g cells per pixel)\n",
                "   slowest first repaint (cells painted for it)", slowestFetch,
                kRepaintTargetSeconds, Verdict(slowestFetch < kRepaintTargetSeconds), slowestZoom);
    std::printf("%-52s %8.3fs\n", "   every cell kept, in the background",
                Median(keepSeconds));
    std::printf("%-52s %8.4fs  < %.3fs: %s\n", "   repaint with every cell kept, median",
                keptFetch, kRepaintTargetSeconds, Verdict(keptFetch < kRepaintTargetSeconds));
    std::printf("%-52s %8.4fs  < %.3fs: %s (at %.3g cells per pixel)\n",
                "   slowest repaint with every cell kept", slowestKeptFetch, kRepaintTargetSeconds,
                Verdict(slowestKeptFetch < kRepaintTargetSeconds), slowestKeptZoom);
    std::printf("%-52s %8.3fs  < %.3fs: %s (%ju bytes)\n", "3. kestrel-cli render --scale 4, PNG written",
                render, kRenderTargetSeconds, Verdict(render < kRenderTargetSeconds),
                std::uintmax_t(std::filesystem::file_size(png)));
    std::printf("load average after: %s\n", LoadAverage().c_str());
    return 0;
}

}  // namespace
}  // namespace kestrel::bench

int main(int argc, char** argv) {
    try {
        return kestrel::bench::Main(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "kestrel-render-bench: %s\n", failure.what());
        return 1;
    }
}
