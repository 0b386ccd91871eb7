#include "cli/render_command.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "cli/cli_app.h"
#include "clientfiles/file_bytes.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/file_detection.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/map_bytes.h"
#include "clientfiles/map_cells.h"
#include "clientfiles/map_file.h"
#include "clientfiles/radar_colors.h"
#include "clientfiles/static_blocks.h"
#include "operations/map_colors.h"
#include "operations/map_painter.h"
#include "operations/png_writer.h"

namespace kestrel {

namespace {

constexpr std::string_view kProgram = "kestrel-cli";
constexpr int kMaxPictureSide = 32768;  // pixels, for --size

void PrintHelp(std::ostream& out) {
    out << "Usage: " << kProgram << " render --map FILE [OPTION VALUE]... --out FILE.png\n"
        << "Kestrel: draw a map file as a PNG picture, one pixel per N x N cells.\n"
        << "A cell shows the radar colour of its land, or of the topmost static item on it\n"
        << "when statics are given; slopes are shaded. Zoomed out, a pixel summarises its\n"
        << "cells so that thin roads and rivers stay visible.\n\n"
        << "Options (the value as the next argument or after '='):\n"
        << "  --map FILE              map file to draw (.mul or .uop); its size tells the facet\n"
        << "  --statics-index FILE    statics index to draw the statics of, with\n"
        << "  --statics-data FILE     the statics data\n"
        << "  --radarcol FILE         radar colours (default: radarcol.mul beside the map,\n"
        << "                          else a built-in palette)\n"
        << "  --min-x, --max-x N      columns to draw, both included (default: all)\n"
        << "  --min-y, --max-y N      rows to draw, both included (default: all)\n"
        << "  --scale N               cells per pixel along each side (default: 1)\n"
        << "  --size WxH              fit the picture into W x H pixels instead, keeping the\n"
        << "                          map's proportions (1 to " << kMaxPictureSide << " each)\n"
        << "  --out FILE.png          picture to write (replaced if it exists)\n"
        << "  --help                  show this help\n\n"
        << "Exit status: 0 on success, 1 when a file cannot be read or written,\n"
        << "2 for a bad command line or a value outside the map.\n";
}

int Usage(std::ostream& err, const std::string& problem) {
    err << kProgram << ": render: " << problem << '\n'
        << "Usage: " << kProgram << " render --map FILE [OPTION VALUE]... --out FILE.png\n"
        << "Run '" << kProgram << " render --help' for the options.\n";
    return kExitUsage;
}

int Failure(std::ostream& err, const std::string& problem) {
    err << kProgram << ": render: " << problem << '\n';
    return kExitOperationFailed;
}

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

struct Options {
    std::string map;
    std::string staticsIndex;
    std::string staticsData;
    std::string radarColors;
    std::string out;
    std::optional<int> minX;
    std::optional<int> maxX;
    std::optional<int> minY;
    std::optional<int> maxY;
    std::optional<int> scale;
    std::optional<std::pair<int, int>> size;
};

// Reads one file whole; a failure is reported as what the file is for.
std::optional<LargeVector<std::uint8_t>> Load(const std::string& path, const char* role,
                                              std::ostream& err) {
    try {
        return ReadLargeFileBytes(path);
    } catch (const FileException& failure) {
        Failure(err, std::string("cannot read the ") + role + ": " + failure.what());
    }
    return std::nullopt;
}

}  // namespace

int RunRender(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    Options options;
    for (std::size_t at = 1; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (argument == "--help" || argument == "-h") {
            PrintHelp(out);
            return kExitSuccess;
        }
        if (argument == "--version") {
            PrintVersion(out);
            return kExitSuccess;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        std::string* path = nullptr;
        std::optional<int>* number = nullptr;
        if (name == "--map") {
            path = &options.map;
        } else if (name == "--statics-index") {
            path = &options.staticsIndex;
        } else if (name == "--statics-data") {
            path = &options.staticsData;
        } else if (name == "--radarcol") {
            path = &options.radarColors;
        } else if (name == "--out") {
            path = &options.out;
        } else if (name == "--min-x") {
            number = &options.minX;
        } else if (name == "--max-x") {
            number = &options.maxX;
        } else if (name == "--min-y") {
            number = &options.minY;
        } else if (name == "--max-y") {
            number = &options.maxY;
        } else if (name == "--scale") {
            number = &options.scale;
        } else if (name != "--size") {
            return Usage(err, "unknown option '" + argument + "'");
        }
        const std::optional<std::string> taken = TakeOptionValue(arguments, at, equals);
        if (!taken) {
            return Usage(err, "option " + name + " needs a value");
        }
        std::string value = *taken;
        if (path != nullptr) {
            if (value.empty()) {
                return Usage(err, "option " + name + " needs a file name");
            }
            *path = value;
        } else if (number != nullptr) {
            *number = ParseInt(value);
            if (!*number) {
                return Usage(err, name + ": '" + value + "' is not a whole number");
            }
        } else {
            const std::size_t cross = value.find('x');
            const std::optional<int> width = ParseInt(std::string_view(value).substr(0, cross));
            const std::optional<int> height =
                cross == std::string::npos
                    ? std::nullopt
                    : ParseInt(std::string_view(value).substr(cross + 1));
            if (!width || !height || *width < 1 || *height < 1 || *width > kMaxPictureSide ||
                *height > kMaxPictureSide) {
                return Usage(err, "--size: '" + value + "' is not WIDTHxHEIGHT with each from 1 to " +
                                      std::to_string(kMaxPictureSide));
            }
            options.size = std::pair{*width, *height};
        }
    }
    if (options.map.empty()) {
        return Usage(err, "the map to draw is missing (--map FILE)");
    }
    if (options.out.empty()) {
        return Usage(err, "the picture to write is missing (--out FILE.png)");
    }
    if (options.staticsIndex.empty() != options.staticsData.empty()) {
        return Usage(err, "--statics-index and --statics-data go together");
    }
    if (options.scale && options.size) {
        return Usage(err, "--scale and --size cannot be used together");
    }
    if (options.scale && *options.scale < 1) {
        return Usage(err, "--scale: " + std::to_string(*options.scale) +
                              " is not a whole number of at least 1");
    }

    try {
        MapBytes map;
        try {
            map = ReadMapBytes(options.map);
        } catch (const FileException& failure) {
            return Failure(err, std::string("cannot read the map: ") + failure.what());
        } catch (const ClientFileError& failure) {
            return Failure(err, std::string("cannot read the map: ") + failure.what());
        }
        const LargeVector<std::uint8_t>* mapBytes = &map.bytes;
        if (mapBytes->empty()) {
            return Failure(err, "the map " + options.map + " is empty");
        }
        const MapGeometry geometry = map.detection.geometry;
        if (map.detection.match != SizeMatch::Known) {
            err << kProgram << ": render: note: " << options.map << " has "
                << mapBytes->size() << " bytes, the size of no known facet; drawn as "
                << geometry.width << " x " << geometry.height
                << " cells, any missing ones as tile 0 at altitude 0\n";
        }

        // The region, checked against the map now that its size is known.
        const int minX = options.minX.value_or(0);
        const int maxX = options.maxX.value_or(geometry.width - 1);
        const int minY = options.minY.value_or(0);
        const int maxY = options.maxY.value_or(geometry.height - 1);
        struct Check {
            const char* name;
            int value;
            int limit;
        };
        const Check checks[] = {{"--min-x", minX, geometry.width - 1},
                                {"--max-x", maxX, geometry.width - 1},
                                {"--min-y", minY, geometry.height - 1},
                                {"--max-y", maxY, geometry.height - 1}};
        for (const Check& check : checks) {
            if (check.value < 0 || check.value > check.limit) {
                return Usage(err, std::string(check.name) + ": " + std::to_string(check.value) +
                                      " lies outside the map (0 to " +
                                      std::to_string(check.limit) + ")");
            }
        }
        if (minX > maxX) {
            return Usage(err, "--min-x " + std::to_string(minX) + " lies right of --max-x " +
                                  std::to_string(maxX));
        }
        if (minY > maxY) {
            return Usage(err, "--min-y " + std::to_string(minY) + " lies below --max-y " +
                                  std::to_string(maxY));
        }
        const CellRect rect{minX, minY, maxX - minX + 1, maxY - minY + 1};

        std::optional<LargeVector<std::uint8_t>> indexBytes;
        std::optional<LargeVector<std::uint8_t>> dataBytes;
        if (!options.staticsIndex.empty()) {
            indexBytes = Load(options.staticsIndex, "statics index", err);
            if (!indexBytes) {
                return kExitOperationFailed;
            }
            dataBytes = Load(options.staticsData, "statics data", err);
            if (!dataBytes) {
                return kExitOperationFailed;
            }
        }

        std::string colorsFrom = "the built-in palette";
        std::string radarPath = options.radarColors;
        if (radarPath.empty()) {
            if (const auto beside = FindRadarColorsBeside(options.map)) {
                radarPath = beside->string();
            }
        }
        std::optional<MapColors> colors;
        if (!radarPath.empty()) {
            const std::optional<LargeVector<std::uint8_t>> radarBytes =
                Load(radarPath, "radar colours", err);
            if (!radarBytes) {
                return kExitOperationFailed;
            }
            colors.emplace(RadarColors(*radarBytes));
            colorsFrom = radarPath;
        } else {
            colors.emplace();
        }

        double cellsPerPixel = options.scale.value_or(1);
        int width = (rect.width + options.scale.value_or(1) - 1) / options.scale.value_or(1);
        int height = (rect.height + options.scale.value_or(1) - 1) / options.scale.value_or(1);
        if (options.size) {
            cellsPerPixel = std::max(double(rect.width) / options.size->first,
                                     double(rect.height) / options.size->second);
            width = std::clamp(static_cast<int>(std::lround(rect.width / cellsPerPixel)), 1,
                               options.size->first);
            height = std::clamp(static_cast<int>(std::lround(rect.height / cellsPerPixel)), 1,
                                options.size->second);
        }

        const MulMapCells cells(geometry, *mapBytes);
        std::optional<MulStaticBlocks> statics;
        if (indexBytes) {
            statics.emplace(geometry, *indexBytes, *dataBytes);
        }
        const MapPainter painter(cells, statics ? &*statics : nullptr, *colors);
        const MapImage image = painter.Paint(rect, cellsPerPixel, width, height);
        WritePng(options.out, image.View());
        out << "Wrote " << options.out << ": " << width << " x " << height << " pixels of cells "
            << minX << ".." << maxX << " x " << minY << ".." << maxY << ", " << cellsPerPixel
            << " cells per pixel, colours from " << colorsFrom << ".\n";
    } catch (const FileException& failure) {
        return Failure(err, std::string("cannot write the picture: ") + failure.what());
    } catch (const std::bad_alloc&) {
        return Failure(err, "Out of memory.");
    } catch (const std::runtime_error& failure) {
        return Failure(err, failure.what());
    }
    return kExitSuccess;
}

}  // namespace kestrel
