#include "cli/transplant_command.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <string_view>

#include "cli/cli_app.h"
#include "cli/transplant_preview_command.h"
#include "clientfiles/file_detection.h"
#include "clientfiles/journal_store.h"
#include "operations/settings_exchange.h"
#include "operations/transplant.h"

namespace kestrel {

namespace {

constexpr std::string_view kProgram = "kestrel-cli";

// The integer options, which take their values by the rules of the settings
// fields.
constexpr std::array<SettingsField, 7> kPlacementFields = {
    SettingsField::MinX, SettingsField::MaxX, SettingsField::MinY, SettingsField::MaxY,
    SettingsField::OffX, SettingsField::OffY, SettingsField::OffZ,
};

constexpr int kLastMapNumber = 5;

void PrintHelp(std::ostream& out) {
    out << "Usage: " << kProgram << " transplant --from DIR --to DIR [--from-map N] [--to-map N]\n"
        << "       --min-x X --max-x X --min-y Y --max-y Y --off-x X --off-y Y --off-z Z\n"
        << "       [--land yes|no] [--statics replace|add|none] [--dry-run] [--verbose]\n"
        << "       [--preview FILE.png]\n"
        << "Kestrel: move the land and statics of a rectangle from one world folder into\n"
        << "another world's own map and statics files, or to another place of the same\n"
        << "world. All destination files change together or not at all.\n\n"
        << "Every option with a value takes it as the next argument or after '='.\n\n"
        << "Options:\n"
        << "  --from DIR              folder holding the source mapN.mul (or\n"
        << "                          mapNLegacyMUL.uop), staidxN.mul and staticsN.mul;\n"
        << "                          read only\n"
        << "  --to DIR                folder holding the destination's files, changed\n"
        << "  --from-map N            source map number, 0 to " << kLastMapNumber
        << " (default: 0)\n"
        << "  --to-map N              destination map number, 0 to " << kLastMapNumber
        << " (default: 0)\n"
        << "  --from-size WxH         the source map's size in cells, when its files do\n"
        << "                          not tell it (default: told from the files)\n"
        << "  --to-size WxH           the same for the destination\n";
    for (const SettingsField field : kPlacementFields) {
        const FieldDescription& description = DescriptionOf(field);
        std::string line = "  " + std::string(description.option) + " VALUE";
        line.resize(26, ' ');
        out << line << description.help << ", " << description.range.minimum << " to "
            << description.range.maximum << '\n';
    }
    out << "  --land yes|no           copy the land cells (default: yes)\n"
        << "  --statics replace|add|none\n"
        << "                          replace the statics of the target cells, add to\n"
        << "                          them (skipping identical ones), or leave statics\n"
        << "                          alone (default: replace)\n"
        << "  --dry-run               work everything out and show the summary, write\n"
        << "                          nothing\n"
        << "  --verbose               show the summary after the transplant\n"
        << "  --preview FILE.png      draw the destination map with its statics as the\n"
        << "                          transplant would leave it into FILE.png, one pixel\n"
        << "                          per cell; no world file is written\n"
        << "  --help                  show this help\n\n"
        << "Exit status: 0 on success, 1 when the transplant fails or is refused\n"
        << "(the destination is then left as it was), 2 for a bad command line or a\n"
        << "rejected value.\n";
}

int Usage(std::ostream& err, const std::string& problem) {
    err << kProgram << ": " << problem << '\n'
        << "Usage: " << kProgram
        << " transplant --from DIR --to DIR --min-x X --max-x X --min-y Y --max-y Y\n"
        << "       --off-x X --off-y Y --off-z Z [OPTION]...\n";
    return kExitUsage;
}

std::optional<int> ParseMapNumber(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '0' + kLastMapNumber) {
        return text[0] - '0';
    }
    return std::nullopt;
}

}  // namespace

int RunTransplant(const std::vector<std::string>& arguments, std::ostream& out,
                  std::ostream& err) {
    std::optional<std::string> from;
    std::optional<std::string> to;
    int fromMap = 0;
    int toMap = 0;
    std::array<std::optional<std::string>, kFieldCount> given;
    TransplantRequest request;
    bool verbose = false;
    std::optional<std::string> preview;  // --preview FILE.png
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
        if (argument == "--dry-run") {
            request.dryRun = true;
            continue;
        }
        if (argument == "--verbose") {
            verbose = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const auto placement =
            std::find_if(kPlacementFields.begin(), kPlacementFields.end(),
                         [&](SettingsField field) { return DescriptionOf(field).option == name; });
        const bool known = placement != kPlacementFields.end() || name == "--from" ||
                           name == "--to" || name == "--from-map" || name == "--to-map" ||
                           name == "--from-size" || name == "--to-size" ||
                           name == "--land" || name == "--statics" || name == "--preview";
        if (!known) {
            return Usage(err, "unknown option '" + argument + "' for transplant");
        }
        const std::optional<std::string> taken = TakeOptionValue(arguments, at, equals);
        if (!taken) {
            return Usage(err, "option " + name + " needs a value");
        }
        std::string value = *taken;
        if (placement != kPlacementFields.end()) {
            given[static_cast<std::size_t>(*placement)] = std::move(value);
        } else if (name == "--from") {
            from = value;
        } else if (name == "--to") {
            to = value;
        } else if (name == "--preview") {
            if (value.empty()) {
                return Usage(err, "--preview: the picture to write needs a file name");
            }
            preview = value;
        } else if (name == "--from-map" || name == "--to-map") {
            const std::optional<int> number = ParseMapNumber(value);
            if (!number) {
                return Usage(err, name + ": '" + value + "' is not a map number from 0 to " +
                                      std::to_string(kLastMapNumber));
            }
            (name == "--from-map" ? fromMap : toMap) = *number;
        } else if (name == "--from-size" || name == "--to-size") {
            const std::optional<MapGeometry> size = ParseMapSize(value);
            if (!size) {
                return Usage(err, name + ": '" + value +
                                      "' is not WIDTHxHEIGHT in multiples of 8 up to 16384");
            }
            (name == "--from-size" ? request.sourceGeometry : request.destinationGeometry) = *size;
        } else if (name == "--land") {
            if (value != "yes" && value != "no") {
                return Usage(err, "--land: '" + value + "' is not yes or no");
            }
            request.land = value == "yes";
        } else {
            if (value == "replace") {
                request.statics = StaticsMode::Replace;
            } else if (value == "add") {
                request.statics = StaticsMode::Add;
            } else if (value == "none") {
                request.statics.reset();
            } else {
                return Usage(err, "--statics: '" + value + "' is not replace, add or none");
            }
        }
    }
    if (!from || from->empty()) {
        return Usage(err, "transplant needs --from, the source world folder");
    }
    if (!to || to->empty()) {
        return Usage(err, "transplant needs --to, the destination world folder");
    }
    // Values are taken in the exchange order, as copy-map takes them.
    CopySettings settings;
    for (const SettingsField field : kExchangeOrder) {
        if (std::find(kPlacementFields.begin(), kPlacementFields.end(), field) ==
            kPlacementFields.end()) {
            continue;
        }
        const std::optional<std::string>& text = given[static_cast<std::size_t>(field)];
        if (!text) {
            return Usage(err, "transplant needs " + std::string(DescriptionOf(field).option));
        }
        if (const std::optional<std::string> rejection = StoreField(settings, field, *text)) {
            err << kProgram << ": " << DescriptionOf(field).option << ": " << *rejection << '\n';
            return kExitUsage;
        }
    }
    request.placement = {settings.minX, settings.maxX, settings.minY, settings.maxY,
                         settings.offX, settings.offY, settings.offZ};
    if (!request.land && !request.statics) {
        return Usage(err, "--land no with --statics none leaves nothing to transplant");
    }

    try {
        request.source = FindWorldFiles(*from, fromMap, "source");
        request.destination = FindWorldFiles(*to, toMap, "destination");
        if (preview) {
            return RunTransplantPreview(request, *preview, request.dryRun || verbose, out, err);
        }
        request.journalDirectory = JournalStore::DefaultDirectory();
        const TransplantSummary summary = Transplant(request);
        if (request.dryRun || verbose) {
            out << FormatTransplantSummary(summary, request);
        }
    } catch (const TransplantError& failure) {
        err << kProgram << ": " << failure.what() << '\n';
        return kExitOperationFailed;
    } catch (const JournalError& failure) {
        err << kProgram << ": " << failure.what() << '\n';
        return kExitOperationFailed;
    } catch (const std::bad_alloc&) {
        err << kProgram << ": Out of memory.\n";
        return kExitOperationFailed;
    }
    return kExitSuccess;
}

}  // namespace kestrel
