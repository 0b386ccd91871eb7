#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kestrel {

// kestrel-cli render --map FILE [--statics-index F --statics-data F]
// [--radarcol F] [--min-x N --max-x N --min-y N --max-y N]
// [--scale N | --size WxH] --out FILE.png: draws the map (a .mul file, its
// geometry told by its size) as a PNG. arguments[0] is the command's name.
// Returns the exit status: 0 on success, 1 when a file cannot be read or
// written, 2 for a bad command line or a value outside the map.
int RunRender(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace kestrel
