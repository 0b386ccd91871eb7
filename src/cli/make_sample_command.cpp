#include "cli/make_sample_command.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iterator>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>

#include "cli/cli_app.h"
#include "clientfiles/file_detection.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/file_bytes.h"
#include "clientfiles/radar_colors.h"
#include "operations/sample_radar_colors.h"
#include "operations/sample_world.h"

namespace kestrel {

namespace {

constexpr std::string_view kProgram = "kestrel-cli";

void PrintHelp(std::ostream& out) {
    out << "Usage: " << kProgram << " make-sample DIR [--seed N] [--force]\n"
        << "       [--facet N] [--size WxH] [--uop]\n"
        << "Kestrel: write a generated sample world into DIR (created if missing):\n"
        << "map0.mul (hills, water and flats), staidx0.mul and statics0.mul (trees, rocks\n"
        << "and small buildings), full size. The same seed always gives the same files.\n\n"
        << "Options:\n"
        << "  --seed N                world to generate, 0 to 4294967295 (default: "
        << kDefaultSampleSeed << ")\n"
        << "  --facet N               map N (0 Felucca, 1 Trammel, 2 Ilshenar, 3 Malas,\n"
        << "                          4 Tokuno, 5 TerMur) at its current size, as mapN.mul,\n"
        << "                          staidxN.mul, staticsN.mul (default: map 0 at 6144x4096)\n"
        << "  --size WxH              the map's size in cells, multiples of 8 up to 16384\n"
        << "  --uop                   write the map as mapNLegacyMUL.uop instead of mapN.mul\n"
        << "  --force                 replace files of those names that exist in DIR\n"
        << "  --help                  show this help\n\n"
        << "Exit status: 0 on success, 1 when a file cannot be written,\n"
        << "2 for a bad command line.\n";
}

int Usage(std::ostream& err, const std::string& problem) {
    err << kProgram << ": " << problem << '\n'
        << "Usage: " << kProgram << " make-sample DIR [--seed N] [--force]\n";
    return kExitUsage;
}

int Failure(std::ostream& err, const std::string& problem) {
    err << kProgram << ": " << problem << '\n';
    return kExitOperationFailed;
}

std::optional<std::uint32_t> ParseSeed(std::string_view text) {
    std::uint32_t seed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, seed);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return seed;
}

// The value of option name: the rest of "--name=VALUE" or the next argument.
std::optional<std::string> OptionValue(const std::vector<std::string>& arguments, std::size_t& at,
                                       std::string_view name) {
    const std::string& argument = arguments[at];
    if (argument.size() > name.size()) {
        return argument.substr(name.size() + 1);
    }
    if (at + 1 < arguments.size()) {
        return arguments[++at];
    }
    return std::nullopt;
}

bool IsOption(const std::string& argument, std::string_view name) {
    return argument == name || (argument.starts_with(name) && argument.size() > name.size() &&
                                argument[name.size()] == '=');
}

}  // namespace

int RunMakeSample(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    std::optional<std::string> directory;
    SampleWorldOptions options;
    std::optional<MapGeometry> facetGeometry;
    std::optional<MapGeometry> size;
    bool force = false;
    for (std::size_t at = 1; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (argument == "--help" || argument == "-h") {
            PrintHelp(out);
            return kExitSuccess;
        }
        if (argument == "--force") {
            force = true;
        } else if (argument == "--seed" || argument.starts_with("--seed=")) {
            std::string value;
            if (argument != "--seed") {
                value = argument.substr(7);
            } else if (at + 1 < arguments.size()) {
                value = arguments[++at];
            } else {
                return Usage(err, "option --seed needs a value");
            }
            const std::optional<std::uint32_t> seed = ParseSeed(value);
            if (!seed) {
                return Usage(err,
                             "--seed: '" + value + "' is not a whole number from 0 to 4294967295");
            }
            options.seed = *seed;
        } else if (IsOption(argument, "--facet")) {
            const std::optional<std::string> value = OptionValue(arguments, at, "--facet");
            if (!value) {
                return Usage(err, "option --facet needs a value");
            }
            const auto facet =
                std::find_if(std::begin(kFacets), std::end(kFacets), [&](const Facet& candidate) {
                    return std::to_string(candidate.mapNumber) == *value;
                });
            if (facet == std::end(kFacets)) {
                return Usage(err, "--facet: '" + *value + "' is not a map number from 0 to 5");
            }
            facetGeometry = facet->geometry;
            options.mapNumber = facet->mapNumber;
        } else if (IsOption(argument, "--size")) {
            const std::optional<std::string> value = OptionValue(arguments, at, "--size");
            if (!value) {
                return Usage(err, "option --size needs a value");
            }
            size = ParseMapSize(*value);
            if (!size) {
                return Usage(err, "--size: '" + *value +
                                      "' is not WIDTHxHEIGHT in multiples of 8 up to 16384");
            }
        } else if (argument == "--uop") {
            options.uop = true;
        } else if (argument.starts_with("-") && argument != "-") {
            return Usage(err, "unknown option '" + argument + "' for make-sample");
        } else if (directory) {
            return Usage(err, "make-sample takes one directory, not '" + argument + "' as well");
        } else {
            directory = argument;
        }
    }
    if (!directory || directory->empty()) {
        return Usage(err, "make-sample needs the directory to write to");
    }

    // The size: --size, else the facet's current one, else the default map.
    options.geometry = size.value_or(facetGeometry.value_or(options.geometry));
    const SampleWorldFileNames names = SampleFileNames(options);

    const std::filesystem::path root(*directory);
    try {
        std::error_code error;
        std::filesystem::create_directories(root, error);
        if (error) {
            return Failure(err,
                           "cannot create directory " + root.string() + ": " + error.message());
        }
        if (!force) {
            // A sample written over the game's own files would destroy them.
            for (const std::string& name : {names.map, names.staticsIndex, names.staticsData}) {
                const std::filesystem::path path = root / name;
                if (std::filesystem::exists(std::filesystem::symlink_status(path))) {
                    return Failure(err,
                                   path.string() + " already exists; add --force to replace it");
                }
            }
        }
        // The radar colours are the same for every sample, so samples of
        // several facets share one file; any other radarcol.mul is kept
        // unless --force.
        const std::filesystem::path radarPath = root / kRadarColorsName;
        bool writeRadar = true;
        if (std::filesystem::exists(std::filesystem::symlink_status(radarPath))) {
            const bool same = std::filesystem::is_regular_file(radarPath) &&
                              ReadFileBytes(radarPath.string()) == SampleRadarColorBytes();
            if (same) {
                writeRadar = false;
            } else if (!force) {
                return Failure(err,
                               radarPath.string() + " already exists; add --force to replace it");
            }
        }
        const SampleWorldSummary summary = WriteSampleWorld(root, options);
        if (writeRadar) {
            WriteSampleRadarColors(root);
        }
        out << "Wrote a sample world (seed " << options.seed << ") to " << root.string() << ": "
            << names.map << ", " << names.staticsIndex << ", " << names.staticsData << " with "
            << summary.staticItems << " static items.\n"
            << "Wrote " << kRadarColorsName << ", the radar colours of its tiles.\n";
    } catch (const SampleWorldError& failure) {
        return Failure(err, failure.what());
    } catch (const FileException& failure) {
        return Failure(err, failure.what());
    } catch (const std::filesystem::filesystem_error& failure) {
        return Failure(err, failure.what());
    } catch (const std::bad_alloc&) {
        return Failure(err, "Out of memory.");
    }
    return kExitSuccess;
}

}  // namespace kestrel
