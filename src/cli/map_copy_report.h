#pragma once

#include <ostream>

#include "operations/map_copy_summary.h"

namespace kestrel {

// Prints what a map copy did (or, for a dry run, would do), one fact a line.
void PrintMapCopySummary(const MapCopySummary& summary, bool dryRun, std::ostream& out);

}  // namespace kestrel
