#pragma once

#include <cstdint>

#include "clientfiles/binary_file.h"
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

MapCopyRange ClipMapCopy(const CopySettings& settings);

// altitude + offZ in 8 bits with wrap-around: only the low 8 bits of offZ
// count, so a shift of 256 or -256 changes nothing.
std::int8_t ShiftAltitude(std::int8_t altitude, int offZ);

// Copies the rectangle of settings from sourceMapPath into the existing file
// at destMapPath, its corner (minX, minY) landing on (offX, offY), every
// altitude shifted by offZ. Cells that would land right of or below the map
// are skipped. Shows the busy indicator throughout. Returns how it ended: Done;
// FileError when a file cannot be opened, Refused when the source does not
// hold every cell the rectangle reads (both with the message shown through ui
// after the files are closed and the busy indicator has ended; nothing is
// written). Throws FileException when a seek, read, write or close fails;
// cells written before stay written.
OperationOutcome CopyMapRegion(const CopySettings& settings, UserInterface& ui);

}  // namespace kestrel
