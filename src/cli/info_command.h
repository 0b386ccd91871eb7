#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kestrel {

// kestrel-cli info FILE...: says for each file what it is (map, statics index
// or statics data; .mul or .uop; width x height and facet; entries of a .uop;
// items of statics), one line each on out. arguments[0] is the command's name.
// Returns the exit status: 0 when every file was told, 1 when one could not be
// (its message on err, the other files still told), 2 for a bad command line.
int RunInfo(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace kestrel
