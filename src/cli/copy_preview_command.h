#pragma once

#include <ostream>
#include <string>

#include "operations/copy_settings.h"

namespace kestrel {

// kestrel-cli copy-map --preview FILE.png: draws the destination map of
// settings (.mul or .uop, of settings.destSize or else the size its file
// tells; the source likewise) as the copy of settings would leave it, one pixel
// per cell, land only, in the radar colours of the radarcol.mul beside the
// destination (else the built-in palette), and writes it to pngPath; neither
// map is written. Reports on out and err; returns the exit status: 0 on
// success, 1 when a map cannot be read or the picture cannot be written.
int RunCopyPreview(const CopySettings& settings, const std::string& pngPath, std::ostream& out,
                   std::ostream& err);

}  // namespace kestrel
