#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    // A write past the file-size limit or into a closed pipe must come back as
    // an error that is reported, not end the process half-way.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
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
