#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kestrel {

// kestrel-cli recover: rolls back every interrupted change in the journal
// directory and says what it restored. arguments[0] is the command's name.
// Returns the exit status: 0 when every interrupted change was rolled back (or
// there was none, or one is still running), 1 when a journal is damaged or a
// change could not be rolled back, 2 for a bad command line.
int RunRecover(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace kestrel
