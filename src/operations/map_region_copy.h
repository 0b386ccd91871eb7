#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "clientfiles/binary_file.h"
#include "clientfiles/map_store.h"
#include "operations/copy_settings.h"
#include "operations/operation_outcome.h"
#include "operations/user_interface.h"

namespace kestrel {

inline constexpr const char* kCannotOpenSourceMap = "Error: cannot open source map0.mul!";
inline constexpr const char* kCannotOpenDestMap = "Error: cannot open destination map0.mul!";
inline constexpr const char* kSourceMapTooShort =
    "Error: source map0.mul is too short for the copy rectangle!";

// The source cells that a map copy reads, after clipping at the destination
// map's right and bottom edges: columns firstX..lastX of rows firstY..lastY.
struct MapCopyRange {
    int firstX = 0;
    int lastX = -1;
    int firstY = 0;
    int lastY = -1;

    bool IsEmpty() const { return firstX > lastX || firstY > lastY; }
};

// destGeometry: the destination map's size.
MapCopyRange ClipMapCopy(const CopySettings& settings,
                         const MapGeometry& destGeometry = kClassicGeometry);

// What is wrong with the map in map for Copy Map to read or write it, or
// nothing: a length that is not a whole number of 196-byte blocks, or more
// than the longest map's (kLargestMapBytes). The message names the file.
std::optional<std::string> MapFileProblem(const MapStore& map);

// altitude + offZ in 8 bits with wrap-around: only the low 8 bits of offZ
// count, so a shift of 256 or -256 changes nothing.
std::int8_t ShiftAltitude(std::int8_t altitude, int offZ);

// Copies the rectangle of settings from sourceMapPath into the existing file
// at destMapPath, its corner (minX, minY) landing on (offX, offY), every
// altitude shifted by offZ. Either map may be a .mul or a .uop of any size
// (settings.sourceSize/destSize, else told from the file, see MapStore).
// Cells that would land right of or below the destination map are skipped.
// When both paths name the same file (device and inode), the rectangle is
// moved within it as if read whole before anything is written. Shows the
// busy indicator throughout. Returns how it ended: Done; FileError when a
// file cannot be opened, Refused when a file is no map (MapFileProblem, a
// damaged .uop, a size that the file does not tell) or the source does not
// hold every cell the rectangle reads (both with the message shown through ui
// after the files are closed and the busy indicator has ended; nothing is
// written). Throws FileException when a seek, read, write or close fails;
// cells written before stay written.
OperationOutcome CopyMapRegion(const CopySettings& settings, UserInterface& ui);

}  // namespace kestrel
