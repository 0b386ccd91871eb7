#include "cli/map_copy_report.h"

namespace kestrel {

void PrintMapCopySummary(const MapCopySummary& summary, bool dryRun, std::ostream& out) {
    out << (dryRun ? "Dry run (nothing was written):\n" : "Copied:\n")
        << "  cells copied:                     " << summary.cellsCopied << '\n'
        << "  cells clipped at the right edge:  " << summary.cellsClippedRight << '\n'
        << "  cells clipped at the bottom edge: " << summary.cellsClippedBottom << '\n'
        << "  cells whose altitude wraps round: " << summary.cellsWrapped << '\n';
    if (summary.cellsCopied > 0) {
        out << "  altitudes after the shift:        " << summary.lowestAltitude << " to "
            << summary.highestAltitude << '\n';
    }
    out << "  bytes changed:                    " << summary.bytesChanged << '\n';
}

}  // namespace kestrel
