#pragma once

// Cells of a map as the drawing code reads them: a row at a time, from the
// map's bytes or from anything that stands for them (a map as it will be after
// a copy, a map being edited).

#include <cstdint>
#include <span>

#include "clientfiles/map_geometry.h"

namespace kestrel {

struct MapCell {
    std::uint16_t tileId = 0;
    std::int8_t altitude = 0;

    friend constexpr bool operator==(const MapCell&, const MapCell&) = default;
};

class MapCellSource {
public:
    virtual ~MapCellSource() = default;

    virtual MapGeometry Geometry() const = 0;

    // Reads cells x .. x + count - 1 of row y into cells. The caller keeps
    // them inside the map (0 <= x, x + count <= width, 0 <= y < height,
    // count >= 0); nothing is checked. Safe to call from several threads.
    virtual void ReadRow(int x, int y, int count, MapCell* cells) const = 0;

    // Cell (x, y), inside the map.
    MapCell Cell(int x, int y) const {
        MapCell cell;
        ReadRow(x, y, 1, &cell);
        return cell;
    }
};

// The cells of a map held in memory in the layout of a .mul map file: block n
// of the geometry at byte n * 196, a 4-byte header, then 64 cells of 3 bytes
// (tile number u16 LE, altitude i8) row by row. The bytes are borrowed and
// must outlive the object. A cell that lies (wholly or in part) past the end
// of the bytes reads as tile 0 at altitude 0.
class MulMapCells final : public MapCellSource {
public:
    MulMapCells(MapGeometry geometry, std::span<const std::uint8_t> bytes)
        : geometry(geometry), bytes(bytes) {}

    MapGeometry Geometry() const override { return geometry; }
    void ReadRow(int x, int y, int count, MapCell* cells) const override;

private:
    MapGeometry geometry;
    std::span<const std::uint8_t> bytes;
};

}  // namespace kestrel
