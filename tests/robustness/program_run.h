#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrel::test {

// How to start a program: where, under which limits and as whom.
struct ProgramSetup {
    std::string workingDirectory;             // empty: the test's own
    std::string standardOutput;               // a file for it; empty: collected
    std::optional<rlim_t> fileSizeLimit;      // RLIMIT_FSIZE in bytes
    std::optional<rlim_t> openFilesLimit;     // RLIMIT_NOFILE
    std::optional<uid_t> user;                // run as this user (and its group)
    std::vector<std::string> readOnlyMounts;  // directories bound read-only around the program
    std::vector<std::string> environment;     // extra NAME=VALUE entries
    int timeoutSeconds = 60;
};

struct ProgramResult {
    bool started = false;  // false when the setup could not be made (see setupError)
    std::string setupError;
    bool exited = false;  // false when a signal ended it, or it was killed on timeout
    int status = -1;      // exit status when exited
    int signal = 0;       // the signal that ended it otherwise
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Runs program with arguments in a child process, as setup says, with no
// standard input, and collects its output. SIGXFSZ and SIGPIPE are reset to
// their default actions in the child, so the program itself must deal with
// them. A child that outlives the timeout is killed.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const ProgramSetup& setup = {});

// Starts program like RunProgram without waiting; returns its process id, or -1.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& outPath, const std::string& errPath);

// Waits for a started program; the result holds its status but not its output.
ProgramResult WaitProgram(pid_t child, int timeoutSeconds);

}  // namespace kestrel::test
