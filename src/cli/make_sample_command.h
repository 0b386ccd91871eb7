#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kestrel {

// kestrel-cli make-sample DIR [--seed N] [--force]: writes a generated world
// (map0.mul, staidx0.mul, statics0.mul, full size) into DIR, creating DIR if
// needed. Existing files of those names are replaced only with --force.
// arguments[0] is the command's name. Returns the exit status: 0 on success,
// 1 when a file or directory cannot be written, 2 for a bad command line.
int RunMakeSample(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace kestrel
