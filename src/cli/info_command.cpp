#include "cli/info_command.h"

#include <new>
#include <string_view>

#include "cli/cli_app.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/file_exception.h"
#include "operations/client_file_info.h"

namespace kestrel {

namespace {

constexpr std::string_view kProgram = "kestrel-cli";

void PrintHelp(std::ostream& out) {
    out << "Usage: " << kProgram << " info FILE...\n"
        << "Kestrel: say what each client data file is: a map (mapN.mul or\n"
        << "mapNLegacyMUL.uop), a statics index (staidxN.mul) or statics data\n"
        << "(staticsN.mul); its width x height and facet; the entries of a .uop;\n"
        << "the items of statics. Files are only read.\n\n"
        << "Options:\n"
        << "  --help                  show this help\n"
        << "  --version               show the version\n\n"
        << "Exit status: 0 when every file was told, 1 when a file could not be,\n"
        << "2 for a bad command line.\n";
}

}  // namespace

int RunInfo(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (std::size_t at = 1; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            PrintHelp(out);
            return kExitSuccess;
        }
        if (!optionsEnded && argument == "--version") {
            PrintVersion(out);
            return kExitSuccess;
        }
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.starts_with("-") && argument != "-") {
            err << kProgram << ": unknown option '" << argument << "' for info\n";
            PrintHelp(err);
            return kExitUsage;
        } else {
            files.push_back(argument);
        }
    }
    if (files.empty()) {
        err << kProgram << ": info needs at least one file\n"
            << "Usage: " << kProgram << " info FILE...\n";
        return kExitUsage;
    }

    int status = kExitSuccess;
    for (const std::string& file : files) {
        try {
            out << FormatClientFileDescription(DescribeClientFile(file)) << '\n';
        } catch (const ClientFileError& failure) {
            err << kProgram << ": " << failure.what() << '\n';
            status = kExitOperationFailed;
        } catch (const FileException& failure) {
            err << kProgram << ": " << failure.what() << '\n';
            status = kExitOperationFailed;
        } catch (const std::bad_alloc&) {
            err << kProgram << ": Out of memory.\n";
            status = kExitOperationFailed;
        }
    }
    return status;
}

}  // namespace kestrel
