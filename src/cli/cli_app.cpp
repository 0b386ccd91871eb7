#include "cli/cli_app.h"

#include <array>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/copy_preview_command.h"
#include "cli/info_command.h"
#include "cli/make_sample_command.h"
#include "cli/render_command.h"
#include "cli/transplant_command.h"
#include "cli/map_copy_report.h"
#include "cli/recover_command.h"
#include "cli/undo_command.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/file_detection.h"
#include "clientfiles/file_exception.h"
#include "operations/copy_settings.h"
#include "operations/map_region_copy.h"
#include "operations/settings_exchange.h"
#include "operations/statics_export.h"
#include "operations/user_interface.h"
#include "operations/version.h"

namespace kestrel {

namespace {

constexpr std::string_view kProgram = "kestrel-cli";

const FieldDescription* FindOption(std::string_view name) {
    for (const FieldDescription& field : kSettingsFields) {
        if (field.option == name) {
            return &field;
        }
    }
    return nullptr;
}

// An option of one command that is not one of the dialog's fields: an integer
// of CopySettings taken by the same rules and messages as the fields.
struct CommandOption {
    std::string_view command;
    std::string_view option;
    std::string_view help;
    int CopySettings::*number;
    IntegerRange range;
};

constexpr CommandOption kCommandOptions[] = {
    {"copy-statics", "--first-serial", "serial of the first item; the next count up",
     &CopySettings::firstSerial, {0, 2147483647}},
};

const CommandOption* FindCommandOption(std::string_view command, std::string_view name) {
    for (const CommandOption& option : kCommandOptions) {
        if (option.command == command && option.option == name) {
            return &option;
        }
    }
    return nullptr;
}

// Messages go to standard error, prefixed with the program's name and followed
// by their details in parentheses; the busy indicator has nothing to show on a
// terminal.
class TerminalUserInterface : public UserInterface {
public:
    explicit TerminalUserInterface(std::ostream& err) : err(err) {}

    void BeginBusy() override {}
    void EndBusy() override {}
    void ShowMessage(const std::string& text, const std::string& details) override {
        err << kProgram << ": " << text;
        if (!details.empty()) {
            err << " (" << details << ')';
        }
        err << '\n';
    }

private:
    std::ostream& err;
};

struct Command {
    std::string_view name;
    std::string_view summary;
    OperationOutcome (*run)(const CopySettings&, UserInterface&) = nullptr;
    // Set for a command that takes its own arguments rather than the settings
    // options; it returns the exit status.
    int (*runOwn)(const std::vector<std::string>&, std::ostream&, std::ostream&) = nullptr;
    // A map copy: takes --dry-run, --verbose and --dest-size.
    bool summarises = false;
};

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"copy-map", "copy a rectangle of land cells from one map file into another",
         CopyMapRegion, nullptr, true},
        {"copy-statics", "export the static items of a rectangle as a world-item script",
         ExportStatics, nullptr},
        {"make-sample", "write a generated sample world to try the other commands on", nullptr,
         RunMakeSample},
        {"info", "tell what each client file is: map or statics, container, size, facet",
         nullptr, RunInfo},
        {"render", "draw a map file as a PNG picture", nullptr, RunRender},
        {"transplant", "move land and statics of a rectangle into another world's files", nullptr,
         RunTransplant},
        {"undo", "undo the newest change of a file, or list the undo history", nullptr, RunUndo},
        {"recover", "roll back changes that were interrupted", nullptr, RunRecover},
    };
    return commands;
}

void PrintUsage(std::ostream& stream) {
    stream << "Usage: " << kProgram << " COMMAND [OPTION VALUE]...\n"
           << "       " << kProgram << " --help | --version\n\nCommands:\n";
    for (const Command& command : Commands()) {
        stream << "  " << command.name << std::string(14 - command.name.size(), ' ')
               << command.summary << '\n';
    }
    stream << "\nRun '" << kProgram << " COMMAND --help' for the options of a command.\n";
}

// The options that give a map's size instead of the one told from its file.
struct SizeOption {
    std::string_view option;
    std::string_view help;
    std::optional<MapGeometry> CopySettings::*size;
};
constexpr std::array<SizeOption, 2> kSizeOptions = {{
    {"--source-size", "size WxH of the source map and statics (default: from the files)",
     &CopySettings::sourceSize},
    {"--dest-size", "size WxH of the destination map (default: from the file)",
     &CopySettings::destSize},
}};

const SizeOption* FindSizeOption(std::string_view name) {
    for (const SizeOption& option : kSizeOptions) {
        if (option.option == name) {
            return &option;
        }
    }
    return nullptr;
}

// A file whose length fits two facets and whose name tells neither cannot be
// copied from or into without its size: say which option gives it. Returns
// false after saying so.
bool SizeIsKnown(const FileDetection& detection, const std::string& path,
                 std::string_view option, std::ostream& err) {
    if (detection.match != SizeMatch::Ambiguous) {
        return true;
    }
    err << kProgram << ": " << path << ": its length of " << detection.bytes
        << " bytes fits maps of ";
    for (std::size_t at = 0; at < detection.candidates.size(); ++at) {
        err << (at == 0 ? "" : (at + 1 == detection.candidates.size() ? " and " : ", "))
            << FormatMapSize(detection.candidates[at]) << " ("
            << FacetName(detection.candidates[at], std::nullopt) << ')';
    }
    err << ", and the file name does not tell which; give its size with " << option
        << " WxH.\n";
    return false;
}

bool SizesAreKnown(const Command& command, const CopySettings& settings, std::ostream& err) {
    try {
        if (command.summarises) {
            return (settings.sourceSize ||
                    SizeIsKnown(DetectMap(settings.sourceMapPath), settings.sourceMapPath,
                                "--source-size", err)) &&
                   (settings.destSize || SizeIsKnown(DetectMap(settings.destMapPath),
                                                     settings.destMapPath, "--dest-size", err));
        }
        return settings.sourceSize ||
               SizeIsKnown(DetectStaticsIndex(settings.staticsIndexPath),
                           settings.staticsIndexPath, "--source-size", err);
    } catch (const std::exception&) {
        return true;  // the operation itself reports a file it cannot read
    }
}

void PrintCommandHelp(const Command& command, std::ostream& out) {
    const CopySettings defaults;
    out << "Usage: " << kProgram << ' ' << command.name << " [OPTION VALUE]...\n"
        << "Kestrel: " << command.summary << ".\n\n"
        << "Every option takes one value, as the next argument or after '=' (--off-z=-5);\n"
        << "the value is used as given, even when empty or starting with '-'.\n"
        << "An option left out keeps its default.\n\nOptions:\n";
    for (const FieldDescription& field : kSettingsFields) {
        std::string line = "  " + std::string(field.option) + " VALUE";
        line.resize(26, ' ');
        out << line << field.help;
        if (field.number != nullptr) {
            out << ", " << field.range.minimum << " to " << field.range.maximum;
        }
        out << " (default: " << FieldText(defaults, field.field) << ")\n";
    }
    for (const CommandOption& option : kCommandOptions) {
        if (option.command != command.name) {
            continue;
        }
        std::string line = "  " + std::string(option.option) + " VALUE";
        line.resize(26, ' ');
        out << line << option.help << ", " << option.range.minimum << " to "
            << option.range.maximum << " (default: " << defaults.*option.number << ")\n";
    }
    for (const SizeOption& option : kSizeOptions) {
        if (!command.summarises && option.size == &CopySettings::destSize) {
            continue;
        }
        std::string line = "  " + std::string(option.option) + " WxH";
        line.resize(26, ' ');
        out << line << option.help << '\n';
    }
    if (command.name == "copy-map") {
        out << "  --preview FILE.png      draw the destination as the copy would leave it into\n"
            << "                          FILE.png instead of copying; no map is written\n";
    }
    if (command.summarises) {
        out << "  --dry-run               check everything and say what the copy would do;\n"
            << "                          write nothing\n"
            << "  --verbose               say what the copy did\n";
    }
    out << "  --help                  show this help\n"
        << "  --version               show the version\n\n"
        << "Exit status: 0 on success, 1 when the operation reports an error,\n"
        << "2 for a bad command line or a rejected value.\n";
}

int UsageError(std::ostream& err, const std::string& problem) {
    err << kProgram << ": " << problem << '\n';
    PrintUsage(err);
    return kExitUsage;
}

// A problem with a command's options, followed by that command's options.
int CommandUsageError(const Command& command, std::ostream& err, const std::string& problem) {
    err << kProgram << ": " << problem << '\n';
    PrintCommandHelp(command, err);
    return kExitUsage;
}

int RunCommand(const Command& command, const std::vector<std::string>& arguments, std::ostream& out,
               std::ostream& err) {
    std::array<std::optional<std::string>, kFieldCount> given;
    std::optional<std::string> preview;  // copy-map --preview FILE.png
    std::vector<std::pair<const CommandOption*, std::string>> givenOwn;
    bool dryRun = false;
    bool verbose = false;
    CopySettings sizes;
    for (std::size_t at = 1; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (argument == "--help" || argument == "-h") {
            PrintCommandHelp(command, out);
            return kExitSuccess;
        }
        if (argument == "--version") {
            PrintVersion(out);
            return kExitSuccess;
        }
        if (command.summarises && (argument == "--dry-run" || argument == "--verbose")) {
            (argument == "--dry-run" ? dryRun : verbose) = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = std::string_view(argument).substr(0, equals);
        if (command.name == "copy-map" && name == "--preview") {
            preview = TakeOptionValue(arguments, at, equals);
            if (!preview) {
                return CommandUsageError(command, err, "option --preview needs a value");
            }
            continue;
        }
        const SizeOption* sizeOption = FindSizeOption(name);
        if (sizeOption != nullptr &&
            (command.summarises || sizeOption->size == &CopySettings::sourceSize)) {
            const std::optional<std::string> taken = TakeOptionValue(arguments, at, equals);
            if (!taken) {
                return CommandUsageError(command, err, "option " +
                                                           std::string(sizeOption->option) +
                                                           " needs a value");
            }
            const std::string& value = *taken;
            const std::optional<MapGeometry> size = ParseMapSize(value);
            if (!size) {
                err << kProgram << ": " << sizeOption->option << ": '" << value
                    << "' is not a map size such as 7168x4096 (multiples of 8).\n";
                return kExitUsage;
            }
            sizes.*(sizeOption->size) = size;
            continue;
        }
        const FieldDescription* option = FindOption(name);
        const CommandOption* own = FindCommandOption(command.name, name);
        if (option == nullptr && own == nullptr) {
            return CommandUsageError(
                command, err, "unknown option '" + argument + "' for " + std::string(command.name));
        }
        std::optional<std::string> value = TakeOptionValue(arguments, at, equals);
        if (!value) {
            return CommandUsageError(command, err,
                                     "option " + std::string(name) + " needs a value");
        }
        if (own != nullptr) {
            givenOwn.emplace_back(own, std::move(*value));
            continue;
        }
        given[static_cast<std::size_t>(option->field)] = std::move(*value);
    }

    // Values are taken in the exchange order, so the first rejection reported
    // is the one the dialog would report for the same texts.
    // The paths come first in the exchange order; the ranges of the numbers
    // follow the sizes of the maps they name.
    CopySettings settings;
    settings.sourceSize = sizes.sourceSize;
    settings.destSize = sizes.destSize;
    FieldRanges ranges = ClassicFieldRanges();
    for (const SettingsField field : kExchangeOrder) {
        const std::optional<std::string>& text = given[static_cast<std::size_t>(field)];
        if (field == SettingsField::MaxX) {
            const std::optional<MapGeometry> source =
                command.summarises ? DetectedSourceSize(settings)
                                   : std::optional<MapGeometry>(StaticsGeometry(settings));
            ranges = FieldRangesFor(source, DetectedDestSize(settings));
        }
        if (!text) {
            continue;
        }
        if (const std::optional<std::string> rejection =
                StoreField(settings, field, *text, ranges)) {
            err << kProgram << ": " << DescriptionOf(field).option << ": " << *rejection << '\n';
            return kExitUsage;
        }
    }

    for (const auto& [option, text] : givenOwn) {
        const std::optional<std::int32_t> value = ParseInteger(text);
        if (!value) {
            err << kProgram << ": " << option->option << ": " << kIntegerSyntaxMessage << '\n';
            return kExitUsage;
        }
        if (*value < option->range.minimum || *value > option->range.maximum) {
            err << kProgram << ": " << option->option << ": " << IntegerRangeMessage(option->range)
                << '\n';
            return kExitUsage;
        }
        settings.*option->number = *value;
    }
    if (!SizesAreKnown(command, settings, err)) {
        return kExitOperationFailed;
    }

    if (preview) {
        return RunCopyPreview(settings, *preview, out, err);
    }
    TerminalUserInterface ui(err);
    try {
        if (command.summarises && (dryRun || verbose)) {
            MapCopySummary summary;
            MapCopyOptions options;
            options.dryRun = dryRun;
            options.summary = &summary;
            const OperationOutcome outcome = CopyMapRegion(settings, ui, options);
            if (outcome.status != OperationStatus::Done) {
                return kExitOperationFailed;
            }
            PrintMapCopySummary(summary, dryRun, out);
            return kExitSuccess;
        }
        const OperationOutcome outcome = command.run(settings, ui);
        return outcome.status == OperationStatus::Done ? kExitSuccess : kExitOperationFailed;
    } catch (const FileException& failure) {
        err << kProgram << ": " << failure.what() << '\n';
        return kExitOperationFailed;
    } catch (const std::bad_alloc&) {
        err << kProgram << ": Out of memory.\n";
        return kExitOperationFailed;
    }
}

}  // namespace

void PrintVersion(std::ostream& out) {
    out << kProgram << ' ' << version::kVersion << '\n';
}

std::optional<std::string> TakeOptionValue(const std::vector<std::string>& arguments,
                                           std::size_t& at, std::size_t equals) {
    if (equals != std::string::npos) {
        return arguments[at].substr(equals + 1);
    }
    if (at + 1 < arguments.size()) {
        return arguments[++at];
    }
    return std::nullopt;
}

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) {
        return UsageError(err, "no command given");
    }
    const std::string& first = arguments.front();
    if (first == "--help" || first == "-h") {
        PrintUsage(out);
        return kExitSuccess;
    }
    if (first == "--version") {
        PrintVersion(out);
        return kExitSuccess;
    }
    for (const Command& command : Commands()) {
        if (command.name == first) {
            if (command.runOwn != nullptr) {
                return command.runOwn(arguments, out, err);
            }
            return RunCommand(command, arguments, out, err);
        }
    }
    return UsageError(err, "unknown command '" + first + "'");
}

}  // namespace kestrel
