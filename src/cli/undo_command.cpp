#include "cli/undo_command.h"

#include <time.h>

#include <chrono>

#include "cli/cli_app.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/journal_store.h"

namespace kestrel {

namespace {

constexpr const char* kProgram = "kestrel-cli";

void PrintHelp(std::ostream& out) {
    out << "Usage: " << kProgram << " undo [FILE]\n"
        << "       " << kProgram << " undo --list\n"
        << "Kestrel: undo the newest change of FILE (of any file without FILE), provided\n"
        << "the file still holds exactly what that change wrote. Interrupted changes are\n"
        << "rolled back first.\n\n"
        << "Options:\n"
        << "  --list                  show the undo history, newest first\n"
        << "  --help                  show this help\n"
        << "  --version               show the version\n\n"
        << "Exit status: 0 when the change was undone, 1 when there is nothing to undo\n"
        << "or the undo was refused, 2 for a bad command line.\n";
}

int Usage(std::ostream& err, const std::string& problem) {
    err << kProgram << ": " << problem << '\n';
    PrintHelp(err);
    return kExitUsage;
}

std::string LocalTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    ::localtime_r(&seconds, &parts);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return std::string(text, length);
}

std::vector<std::string> PathsOf(const HistoryEntry& entry) {
    std::vector<std::string> paths;
    for (const HistoryEntry::File& file : entry.files) {
        paths.push_back(file.path);
    }
    return paths;
}

std::string AreaText(const ChangeDescription& description) {
    if (!description.area) {
        return "-";
    }
    const CellRectangle& area = *description.area;
    return "cells " + std::to_string(area.x) + "," + std::to_string(area.y) + " " +
           std::to_string(area.width) + "x" + std::to_string(area.height);
}

void PrintRecovered(const std::vector<RecoveryOutcome>& outcomes, std::ostream& out,
                    std::ostream& err) {
    for (const RecoveryOutcome& outcome : outcomes) {
        if (outcome.result == RecoveryOutcome::Result::RolledBack) {
            out << "Rolled back an interrupted change of " << JoinedPaths(outcome.files) << ".\n";
        } else if (outcome.result != RecoveryOutcome::Result::InUse) {
            err << kProgram << ": journal " << outcome.journalPath << ": " << outcome.reason
                << '\n';
        }
    }
}

}  // namespace

std::string JoinedPaths(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& path : paths) {
        text += (text.empty() ? "" : ", ") + path;
    }
    return text.empty() ? std::string("(unknown files)") : text;
}

int RunUndo(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    bool list = false;
    std::optional<std::string> file;
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
        if (argument == "--list") {
            list = true;
        } else if (argument.starts_with("-") && argument != "-") {
            return Usage(err, "unknown option '" + argument + "' for undo");
        } else if (file) {
            return Usage(err, "undo takes one file, not '" + argument + "' as well");
        } else {
            file = argument;
        }
    }
    if (list && file) {
        return Usage(err, "undo --list takes no file");
    }
    try {
        const JournalStore store(JournalStore::DefaultDirectory());
        if (list) {
            const std::vector<HistoryEntry> history = store.ListHistory();
            if (history.empty()) {
                out << "The undo history is empty.\n";
            }
            for (const HistoryEntry& entry : history) {
                out << LocalTime(entry.committed) << "  " << entry.description.operation << "  "
                    << JoinedPaths(PathsOf(entry)) << "  " << AreaText(entry.description) << "  "
                    << entry.bytesChanged << " bytes  " << entry.description.summary << '\n';
            }
            return kExitSuccess;
        }
        const UndoOutcome outcome = store.UndoNewest(file);
        PrintRecovered(outcome.recovered, out, err);
        switch (outcome.result) {
            case UndoOutcome::Result::Undone:
                out << "Undid " << outcome.entry->description.operation << " \""
                    << outcome.entry->description.summary << "\" of "
                    << LocalTime(outcome.entry->committed) << " on "
                    << JoinedPaths(PathsOf(*outcome.entry)) << " (" << outcome.entry->bytesChanged
                    << " bytes).\n";
                return kExitSuccess;
            case UndoOutcome::Result::NothingToUndo:
                err << kProgram << ": nothing to undo" << (file ? " for " + *file : "") << '\n';
                return kExitOperationFailed;
            case UndoOutcome::Result::Refused:
                err << kProgram << ": cannot undo";
                if (outcome.entry) {
                    err << " \"" << outcome.entry->description.summary << "\"";
                }
                err << ": " << outcome.reason << '\n';
                return kExitOperationFailed;
        }
    } catch (const JournalError& failure) {
        err << kProgram << ": " << failure.what() << '\n';
    } catch (const FileException& failure) {
        err << kProgram << ": " << failure.what() << '\n';
    }
    return kExitOperationFailed;
}

}  // namespace kestrel
