#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kestrel {

// kestrel-cli transplant --from DIR --to DIR [--from-map N] [--to-map N]
// --min-x .. --off-z [--land yes|no] [--statics replace|add|none] [--dry-run]
// [--verbose] [--preview FILE.png]: moves a rectangle's land and statics from
// one world folder's files into another's (or within one world) as one
// change; with --preview only draws the destination as it would be after
// (RunTransplantPreview). arguments[0] is the command's name. Returns the
// exit status: 0 when done, 1 when the transplant failed or was refused
// (nothing changed), 2 for a bad command line or a rejected value.
int RunTransplant(const std::vector<std::string>& arguments, std::ostream& out,
                  std::ostream& err);

}  // namespace kestrel
