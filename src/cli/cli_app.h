#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kestrel {

// Exit statuses of kestrel-cli.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitOperationFailed = 1;  // the operation did not end Done
inline constexpr int kExitUsage = 2;            // bad command line or rejected value

// Runs kestrel-cli on its arguments (without the program name), writing help
// and version text to out and every message to err. Returns the exit status.
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// "kestrel-cli VERSION" and a line end: the answer to --version, at the top
// level and after every command.
void PrintVersion(std::ostream& out);

// The value of the option arguments[at], whose '=' (if any) is at equals:
// what follows the '=', else the next argument, past which at then moves.
// Nothing when the option is last and has no '='.
std::optional<std::string> TakeOptionValue(const std::vector<std::string>& arguments,
                                           std::size_t& at, std::size_t equals);

}  // namespace kestrel
