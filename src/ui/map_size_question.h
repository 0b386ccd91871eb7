#pragma once

#include <QString>
#include <optional>

#include "clientfiles/map_geometry.h"

class QWidget;

namespace kestrel {

// Asks the user whether the map at path, whose length fits both a Malas
// (2560 x 2048) and a TerMur (1280 x 4096) map and whose name does not tell,
// is the one or the other. Returns the size chosen, or nothing when the user
// cancels.
std::optional<MapGeometry> AskMalasOrTerMur(QWidget* parent, const QString& path);

}  // namespace kestrel
