#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "clientfiles/binary_file.h"

namespace {

// Crash tests stop the program dead at a chosen file system call, wherever it
// lies in an operation: KESTREL_TEST_KILL_AT_FILE_CALL=N kills the process
// with SIGKILL just before its Nth call.
long killAtCall = 0;
long callsMade = 0;

int KillAtCall(void*, kestrel::seam::FileCall, const std::string&) {
    if (++callsMade == killAtCall) {
        std::raise(SIGKILL);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A write past the file-size limit or into a closed pipe must come back as
    // an error that is reported, not end the process half-way.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    if (const char* stop = std::getenv("KESTREL_TEST_KILL_AT_FILE_CALL")) {
        killAtCall = std::strtol(stop, nullptr, 10);
        kestrel::seam::SetFileFaultHook(&KillAtCall, nullptr);
    }
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const int status = kestrel::RunCli(arguments, std::cout, std::cerr);
    // Help or version text that could not be written (a full disk, a closed
    // pipe) must not end with the status of success.
    if (!std::cout.flush()) {
        std::cerr << "kestrel-cli: cannot write to standard output\n";
        return status == kestrel::kExitSuccess ? kestrel::kExitOperationFailed : status;
    }
    return status;
}
