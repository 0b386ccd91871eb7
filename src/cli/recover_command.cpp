#include "cli/recover_command.h"

#include "cli/cli_app.h"
#include "cli/undo_command.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/journal_store.h"

namespace kestrel {

namespace {

constexpr const char* kProgram = "kestrel-cli";

void PrintHelp(std::ostream& out) {
    out << "Usage: " << kProgram << " recover\n"
        << "Kestrel: roll back every change that was interrupted (the program was killed\n"
        << "or the machine stopped) and say what was restored. Damaged journals are\n"
        << "reported, never applied, and kept.\n\n"
        << "Options:\n"
        << "  --help                  show this help\n"
        << "  --version               show the version\n\n"
        << "Exit status: 0 when everything interrupted was rolled back, 1 when a journal\n"
        << "is damaged or a change could not be rolled back, 2 for a bad command line.\n";
}

}  // namespace

int RunRecover(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    for (std::size_t at = 1; at < arguments.size(); ++at) {
        if (arguments[at] == "--help" || arguments[at] == "-h") {
            PrintHelp(out);
            return kExitSuccess;
        }
        if (arguments[at] == "--version") {
            PrintVersion(out);
            return kExitSuccess;
        }
        err << kProgram << ": recover takes no argument, not '" << arguments[at] << "'\n";
        PrintHelp(err);
        return kExitUsage;
    }
    try {
        const JournalStore store(JournalStore::DefaultDirectory());
        const std::vector<RecoveryOutcome> outcomes = store.RecoverAll();
        int status = kExitSuccess;
        for (const RecoveryOutcome& outcome : outcomes) {
            const std::string what =
                outcome.description ? " \"" + outcome.description->summary + "\"" : "";
            switch (outcome.result) {
                case RecoveryOutcome::Result::RolledBack:
                    out << "Restored " << JoinedPaths(outcome.files)
                        << " to what it held before the interrupted change" << what << ".\n";
                    break;
                case RecoveryOutcome::Result::InUse:
                    out << "Left " << outcome.journalPath << " alone: " << outcome.reason << ".\n";
                    break;
                default:
                    status = kExitOperationFailed;
                    err << kProgram << ": could not roll back the change" << what << " of "
                        << JoinedPaths(outcome.files) << " (journal " << outcome.journalPath
                        << "): " << outcome.reason << '\n';
                    break;
            }
        }
        if (outcomes.empty()) {
            out << "Nothing to recover.\n";
        }
        return status;
    } catch (const JournalError& failure) {
        err << kProgram << ": " << failure.what() << '\n';
    } catch (const FileException& failure) {
        err << kProgram << ": " << failure.what() << '\n';
    }
    return kExitOperationFailed;
}

}  // namespace kestrel
