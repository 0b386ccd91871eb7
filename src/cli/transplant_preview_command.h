#pragma once

#include <ostream>
#include <string>

#include "operations/transplant.h"

namespace kestrel {

// kestrel-cli transplant ... --preview FILE.png: draws the destination world
// of request (its files found, its options as the transplant takes them) as
// the transplant would leave it, one pixel per cell of the destination map,
// land and statics, in the radar colours of the radarcol.mul beside the
// destination map (else the built-in palette), and writes it to pngPath; no
// world file is written and no journal is kept. The statics drawn are those
// PlanTransplant works out (the destination's own with --statics none), the
// land that of CopyPreviewCells. With showSummary the dry run's summary is
// printed first. Reports on out and err; returns the exit status: 0 on
// success, 1 when the transplant would fail (its message), a file cannot be
// read or the picture cannot be written.
int RunTransplantPreview(const TransplantRequest& request, const std::string& pngPath,
                         bool showSummary, std::ostream& out, std::ostream& err);

}  // namespace kestrel
