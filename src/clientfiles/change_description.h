#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrel {

// A rectangle of map cells: x and y of its top left cell, width and height in
// cells.
struct CellRectangle {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    friend bool operator==(const CellRectangle&, const CellRectangle&) = default;
};

// What a change to files was, as kept with its journal and shown in the undo
// history: the operation's short name ("copy-map"), one line of text for people
// and, for a change of map cells, the rectangle of destination cells it
// changed.
struct ChangeDescription {
    std::string operation;
    std::string summary;
    std::optional<CellRectangle> area;

    friend bool operator==(const ChangeDescription&, const ChangeDescription&) = default;
};

}  // namespace kestrel
