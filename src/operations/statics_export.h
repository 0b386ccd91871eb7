#pragma once

#include <optional>
#include <string>

#include "clientfiles/binary_file.h"
#include "operations/copy_settings.h"
#include "operations/operation_outcome.h"
#include "operations/user_interface.h"

namespace kestrel {

inline constexpr const char* kCannotOpenStaticsIndex = "Error: cannot open source staidx0.mul!";
inline constexpr const char* kCannotOpenStaticsData = "Error: cannot open source statics.mul!";
inline constexpr const char* kCannotOpenItems = "Error: cannot open destination items.wsc!";
inline constexpr const char* kStaticsIndexTooShort =
    "Error: source staidx0.mul is too short for the copy rectangle!";

// "Error: source staidx0.mul has a bad entry for block BX,BY!"
std::string BadStaticsEntryMessage(int bx, int by);

// The blocks that the export visits: block columns firstBx..lastBx of block
// rows firstBy..lastBy (every block whose first cell lies at or before the
// rectangle's last column and row).
struct StaticsBlockRange {
    int firstBx = 0;
    int lastBx = -1;
    int firstBy = 0;
    int lastBy = -1;

    bool IsEmpty() const { return firstBx > lastBx || firstBy > lastBy; }
};

StaticsBlockRange VisitedBlocks(const CopySettings& settings);

// Checks that the index holds an entry for every visited block and that every
// entry's records lie inside the data file. Returns the message for the first
// fault, or nothing. Throws FileException when a read fails.
// geometry: the map size the statics are laid out for.
std::optional<std::string> CheckStaticsFiles(BinaryFile& index, BinaryFile& data,
                                             const CopySettings& settings,
                                             const MapGeometry& geometry);

// Writes every static item standing inside the rectangle of settings, moved by
// offX, offY and offZ (without clipping), as a world-item section of a new
// items script at itemsPath, numbered from 0 in block-walk order, section k
// with the serial firstSerial + k (wrapping in 32 bits). Shows the
// busy indicator throughout. Returns how it ended: Done; FileError when a file
// cannot be opened, Refused when the statics files cannot hold the rectangle
// (both with the message shown through ui after the files are closed and the
// busy indicator has ended; the items script is left as it was). Throws
// FileException when a seek, read, write or close fails; sections written
// before stay written.
// The map size of the statics that settings name: settings.sourceSize, else
// the size told by the index's length, else by the source map's, else
// 6144 x 4096. Reads without locking; never throws.
MapGeometry StaticsGeometry(const CopySettings& settings);

OperationOutcome ExportStatics(const CopySettings& settings, UserInterface& ui);

}  // namespace kestrel
