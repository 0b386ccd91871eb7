#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kestrel {

// kestrel-cli undo [FILE] | undo --list: undoes the newest completed change of
// FILE (of any file without one), after rolling back interrupted changes, or
// lists the undo history, newest first. arguments[0] is the command's name.
// Returns the exit status: 0 when the change was undone or the list shown, 1
// when there is nothing to undo or the undo was refused or failed, 2 for a bad
// command line.
int RunUndo(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// Text shared by undo and recover: the files of a change, "a, b".
std::string JoinedPaths(const std::vector<std::string>& paths);

}  // namespace kestrel
