// Times the two operations on a full-size world against cp of the same bytes,
// and the fast map copy against the cell-by-cell one; prints medians, ratios
// and whether each target is met.
//
//   kestrel-bench --cli PATH/kestrel-cli --dir SCRATCH_DIR [--runs N]

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_world.h"
#include "clientfiles/binary_file.h"
#include "operations/copy_settings.h"
#include "operations/map_region_copy.h"
#include "operations/map_span_copy.h"
#include "operations/sample_world.h"
#include "clientfiles/file_detection.h"
#include "oracles/map_cell_copy.h"

extern char** environ;

namespace kestrel::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kCpRatioTarget = 1.5;
constexpr double kPeakMemoryTargetMiB = 64.0;
constexpr double kUopRatioTarget = 1.2;
constexpr double kSpeedupTarget = 100.0;

struct Run {
    double seconds = 0;
    double peakMiB = 0;
};

// Runs a program to its end; its wall time and peak resident memory.
Run Spawn(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("cannot start " + arguments[0]);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        throw std::runtime_error("cannot wait for " + arguments[0]);
    }
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(arguments[0] + " " + arguments[1] + " failed");
    }
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Series {
    std::vector<double> seconds;
    double peakMiB = 0;

    void Add(const Run& run) {
        seconds.push_back(run.seconds);
        peakMiB = std::max(peakMiB, run.peakMiB);
    }
    double Median() const { return bench::Median(seconds); }
    std::string Range() const {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f..%.3f",
                      *std::min_element(seconds.begin(), seconds.end()),
                      *std::max_element(seconds.begin(), seconds.end()));
        return text;
    }
};

// One program's runs: the time until it ends, with its output in the page
// cache, and the time until its output file is also on the disk (the run plus
// a `sync FILE`, which the next run then does not pay for).
struct Timings {
    Series pageCache;
    Series toDisk;

    void Measure(const std::vector<std::string>& command, const std::string& output) {
        const Run run = Spawn(command);
        const Run flush = Spawn({"sync", output});
        pageCache.Add(run);
        toDisk.seconds.push_back(run.seconds + flush.seconds);
    }
};

std::string LoadAverage() {
    std::ifstream stream("/proc/loadavg");
    std::string one, five, fifteen;
    stream >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

const char* Verdict(bool met) {
    return met ? "met" : "NOT MET";
}

void Remove(const std::string& path) {
    std::filesystem::remove(path);
}

bool SameBytes(const std::string& first, const std::string& second) {
    std::ifstream a(first, std::ios::binary);
    std::ifstream b(second, std::ios::binary);
    std::vector<char> bufferA(1 << 20);
    std::vector<char> bufferB(1 << 20);
    while (a && b) {
        a.read(bufferA.data(), static_cast<std::streamsize>(bufferA.size()));
        b.read(bufferB.data(), static_cast<std::streamsize>(bufferB.size()));
        if (a.gcount() != b.gcount() ||
            !std::equal(bufferA.begin(), bufferA.begin() + a.gcount(), bufferB.begin())) {
            return false;
        }
    }
    return a.eof() && b.eof();
}

std::uint64_t CountSections(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    std::string line;
    std::uint64_t sections = 0;
    while (std::getline(stream, line)) {
        if (line.rfind("SECTION WORLDITEM ", 0) == 0) {
            ++sections;
        }
    }
    return sections;
}

double TimeInProcess(const std::function<void()>& work) {
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void CopyRectangle(const std::string& sourcePath, const std::string& destPath,
                   const CopySettings& settings,
                   void (*copy)(BinaryFile&, BinaryFile&, const CopySettings&)) {
    BinaryFile source;
    BinaryFile dest;
    if (!source.Open(sourcePath, BinaryFile::Mode::ReadWriteExisting) ||
        !dest.Open(destPath, BinaryFile::Mode::ReadWriteExisting)) {
        throw std::runtime_error("cannot open the map files");
    }
    copy(source, dest, settings);
    source.Close();
    dest.Close();
}

int Main(int argc, char** argv) {
    std::string cli;
    std::string directory;
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
    if (cli.empty() || directory.empty()) {
        std::fprintf(stderr,
                     "usage: kestrel-bench --cli KESTREL_CLI --dir SCRATCH_DIR [--runs N]\n");
        return 2;
    }

    std::printf("Kestrel benchmark: %d runs of each, medians, warm page cache\n", runs);
    std::printf("load average before: %s (machine has %ld cores)\n", LoadAverage().c_str(),
                sysconf(_SC_NPROCESSORS_ONLN));
    const BenchWorld world = MakeBenchWorld(directory, 20240611);
    std::printf(
        "world in %s: map0.mul %ju bytes, staidx0.mul %ju bytes, statics0.mul %ju bytes, "
        "%ju items\n\n",
        directory.c_str(), std::uintmax_t(std::filesystem::file_size(world.mapPath)),
        std::uintmax_t(std::filesystem::file_size(world.staticsIndexPath)),
        std::uintmax_t(std::filesystem::file_size(world.staticsDataPath)),
        std::uintmax_t(world.items));

    // 1. Whole-map copy-map into an existing map, against cp of the map file.
    const std::string destMap = directory + "/dest-map0.mul";
    const std::string cpMap = directory + "/cp-map0.mul";
    std::filesystem::copy_file(world.mapPath, destMap);
    // The new world goes to the disk now rather than during the first runs.
    Spawn({"sync"});
    // clang-format off
    const std::vector<std::string> copyMapCommand = {
        cli, "copy-map", "--source-map", world.mapPath, "--dest-map", destMap,
        "--min-x", "0", "--max-x", "6143", "--min-y", "0", "--max-y", "4095",
        "--off-x", "0", "--off-y", "0", "--off-z", "7"};
    // clang-format on
    Timings copyMap;
    Timings cpOfMap;
    for (int run = 0; run < runs; ++run) {
        copyMap.Measure(copyMapCommand, destMap);
        Remove(cpMap);
        cpOfMap.Measure({"cp", world.mapPath, cpMap}, cpMap);
    }
    Remove(cpMap);

    // 2. Whole-map copy-statics, against cp of the script it wrote.
    const std::string items = directory + "/items.wsc";
    const std::string cpItems = directory + "/cp-items.wsc";
    // clang-format off
    const std::vector<std::string> copyStaticsCommand = {
        cli, "copy-statics", "--statics-index", world.staticsIndexPath,
        "--statics-data", world.staticsDataPath, "--items", items,
        "--min-x", "0", "--max-x", "6143", "--min-y", "0", "--max-y", "4095",
        "--off-x", "0", "--off-y", "0", "--off-z", "0"};
    // clang-format on
    Timings copyStatics;
    Timings cpOfItems;
    for (int run = 0; run < runs; ++run) {
        Remove(items);
        copyStatics.Measure(copyStaticsCommand, items);
        Remove(cpItems);
        cpOfItems.Measure({"cp", items, cpItems}, cpItems);
    }
    const std::uintmax_t itemsBytes = std::filesystem::file_size(items);
    const std::uint64_t sections = CountSections(items);
    Remove(cpItems);
    Remove(items);

    // 3. A 512 x 512 rectangle, cell by cell and in spans, in process.
    CopySettings rectangle;
    rectangle.minX = 1024;
    rectangle.maxX = 1535;
    rectangle.minY = 1024;
    rectangle.maxY = 1535;
    rectangle.offX = 3001;
    rectangle.offY = 2003;
    rectangle.offZ = -3;
    const std::string cellDest = directory + "/cells-map0.mul";
    const std::string spanDest = directory + "/spans-map0.mul";
    std::filesystem::copy_file(world.mapPath, cellDest);
    std::filesystem::copy_file(world.mapPath, spanDest);
    Series cellByCell;
    Series spans;
    for (int run = 0; run < runs; ++run) {
        cellByCell.seconds.push_back(TimeInProcess(
            [&] { CopyRectangle(world.mapPath, cellDest, rectangle, CopyMapCellByCell); }));
        spans.seconds.push_back(TimeInProcess(
            [&] { CopyRectangle(world.mapPath, spanDest, rectangle, CopyMapSpans); }));
    }
    const bool rectanglesAgree = SameBytes(cellDest, spanDest);
    Remove(cellDest);
    Remove(spanDest);
    Remove(destMap);

    // 5. A whole 7168 x 4096 facet into and out of a .uop, against the same
    // copy between .mul files; and what telling a .uop's size costs.
    const std::string mulDir = directory + "/facet-mul";
    const std::string uopDir = directory + "/facet-uop";
    std::filesystem::create_directories(mulDir);
    std::filesystem::create_directories(uopDir);
    SampleWorldOptions facet;
    facet.seed = 20240612;
    facet.geometry = {7168, 4096};
    WriteSampleWorld(mulDir, facet);
    facet.uop = true;
    WriteSampleWorld(uopDir, facet);
    const std::string facetMul = mulDir + "/map0.mul";
    const std::string facetInto = mulDir + "/into-map0.mul";
    const std::string facetUop = uopDir + "/map0LegacyMUL.uop";
    std::filesystem::copy_file(facetMul, facetInto);
    Spawn({"sync"});
    const auto facetCopy = [&](const std::string& from, const std::string& to) {
        return std::vector<std::string>{cli,       "copy-map", "--source-map", from, "--dest-map",
                                        to,        "--max-x",  "7167",         "--max-y", "4095",
                                        "--off-z", "7"};
    };
    Timings mulToMul;
    Timings mulToUop;
    Timings uopToMul;
    Series detection;
    for (int run = 0; run < runs; ++run) {
        mulToMul.Measure(facetCopy(facetMul, facetInto), facetInto);
        mulToUop.Measure(facetCopy(facetMul, facetUop), facetUop);
        uopToMul.Measure(facetCopy(facetUop, facetInto), facetInto);
        detection.seconds.push_back(TimeInProcess([&] { DetectMap(facetUop); }));
    }
    std::filesystem::remove_all(mulDir);
    std::filesystem::remove_all(uopDir);

    const double mapRatio = copyMap.pageCache.Median() / cpOfMap.pageCache.Median();
    const double staticsRatio = copyStatics.pageCache.Median() / cpOfItems.pageCache.Median();
    const double speedup = cellByCell.Median() / spans.Median();
    std::printf("%-46s %9s %9s %7s  %s\n", "", "kestrel", "reference", "ratio", "target");
    std::printf("%-46s %8.3fs %8.3fs %6.2fx  <= %.1fx: %s\n",
                "1. copy-map whole map (--off-z 7) vs cp", copyMap.pageCache.Median(),
                cpOfMap.pageCache.Median(), mapRatio, kCpRatioTarget,
                Verdict(mapRatio <= kCpRatioTarget));
    std::printf("%-46s %8.3fs %8.3fs %6.2fx  <= %.1fx: %s\n",
                "2. copy-statics whole map vs cp of its script", copyStatics.pageCache.Median(),
                cpOfItems.pageCache.Median(), staticsRatio, kCpRatioTarget,
                Verdict(staticsRatio <= kCpRatioTarget));
    std::printf("%-46s %8.4fs %8.3fs %6.0fx  >= %.0fx faster: %s\n",
                "3. 512 x 512 rectangle: spans vs cell by cell", spans.Median(),
                cellByCell.Median(), speedup, kSpeedupTarget, Verdict(speedup >= kSpeedupTarget));
    std::printf("%-46s %6.1f MiB %26s < %.0f MiB: %s\n", "4. peak RSS of copy-map",
                copyMap.pageCache.peakMiB, "", kPeakMemoryTargetMiB,
                Verdict(copyMap.pageCache.peakMiB < kPeakMemoryTargetMiB));
    std::printf("%-46s %6.1f MiB %26s < %.0f MiB: %s\n", "   peak RSS of copy-statics",
                copyStatics.pageCache.peakMiB, "", kPeakMemoryTargetMiB,
                Verdict(copyStatics.pageCache.peakMiB < kPeakMemoryTargetMiB));
    const double intoUop = mulToUop.pageCache.Median() / mulToMul.pageCache.Median();
    const double outOfUop = uopToMul.pageCache.Median() / mulToMul.pageCache.Median();
    std::printf("%-46s %8.3fs %8.3fs %6.2fx  <= %.1fx: %s\n",
                "5. 7168 x 4096 facet .mul -> .uop vs .mul", mulToUop.pageCache.Median(),
                mulToMul.pageCache.Median(), intoUop, kUopRatioTarget,
                Verdict(intoUop <= kUopRatioTarget));
    std::printf("%-46s %8.3fs %8.3fs %6.2fx  <= %.1fx: %s\n",
                "   7168 x 4096 facet .uop -> .mul vs .mul", uopToMul.pageCache.Median(),
                mulToMul.pageCache.Median(), outOfUop, kUopRatioTarget,
                Verdict(outOfUop <= kUopRatioTarget));
    std::printf("%-46s %8.5fs (reading its table; the copy takes %.3fs)\n",
                "   telling the .uop's size", detection.Median(), mulToUop.pageCache.Median());
    std::printf("\nuntil the output is on the disk (run + sync of the output file; no target):\n");
    std::printf("%-46s %8.3fs %8.3fs %6.2fx\n", "1. copy-map vs cp", copyMap.toDisk.Median(),
                cpOfMap.toDisk.Median(), copyMap.toDisk.Median() / cpOfMap.toDisk.Median());
    std::printf("%-46s %8.3fs %8.3fs %6.2fx\n", "2. copy-statics vs cp",
                copyStatics.toDisk.Median(), cpOfItems.toDisk.Median(),
                copyStatics.toDisk.Median() / cpOfItems.toDisk.Median());
    std::printf(
        "\nranges (min..max, s): copy-map %s, cp %s; copy-statics %s, cp %s;\n"
        "                      cell by cell %s, spans %s\n",
        copyMap.pageCache.Range().c_str(), cpOfMap.pageCache.Range().c_str(),
        copyStatics.pageCache.Range().c_str(), cpOfItems.pageCache.Range().c_str(),
        cellByCell.Range().c_str(), spans.Range().c_str());
    std::printf(
        "items.wsc: %ju bytes, %ju sections (%ju items in the world); "
        "512 x 512 results identical: %s\n",
        itemsBytes, std::uintmax_t(sections), std::uintmax_t(world.items),
        rectanglesAgree ? "yes" : "NO");
    std::printf("load average after: %s\n", LoadAverage().c_str());
    return rectanglesAgree && sections == world.items ? 0 : 1;
}

}  // namespace
}  // namespace kestrel::bench

int main(int argc, char** argv) {
    try {
        return kestrel::bench::Main(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "kestrel-bench: %s\n", failure.what());
        return 1;
    }
}
