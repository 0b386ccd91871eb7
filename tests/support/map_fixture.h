#pragma once

#include <cstddef>
#include <cstdint>

#include "operations/copy_settings.h"
#include "support/temp_dir.h"

namespace kestrel::test {

// size bytes of a fixed pseudo-random pattern; different seeds give
// different patterns.
Bytes PatternBytes(std::size_t size, std::uint32_t seed);

// What the destination map must hold after copying the rectangle of settings
// from source, worked out cell by cell from the settings alone: cells landing
// right of or below the map are left out, altitudes wrap in 8 bits, and the
// destination grows to end with the last cell written past its end.
Bytes ExpectedMapCopy(const Bytes& source, Bytes dest, const CopySettings& settings);

}  // namespace kestrel::test
