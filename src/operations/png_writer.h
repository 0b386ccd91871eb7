#pragma once

#include <string>

#include "operations/map_image.h"

namespace kestrel {

// Writes image as a PNG of 8-bit RGB (the alpha byte of each pixel is
// dropped) to path, created or replaced, through libpng with fast
// compression. Throws FileException naming path when the file cannot be
// created or written (a file left incomplete is removed), std::runtime_error
// when libpng fails otherwise, std::invalid_argument for an image of no
// pixels.
void WritePng(const std::string& path, ImageView image);

}  // namespace kestrel
