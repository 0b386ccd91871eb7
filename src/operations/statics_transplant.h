#pragma once

// Moves the statics of a rectangle of one world into another world's statics
// index and data, or to another place of the same world. Works on the files'
// whole contents in memory: the caller reads both pairs, is handed the
// destination's new data piece by piece and gets its new index; ChangedBytes
// narrows each down to the bytes that differ from the old ones, to write
// (and save beforehand) no more than that. Nothing here touches a file.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "clientfiles/map_geometry.h"

namespace kestrel {

// The whole contents of a statics index and its data, with the geometry of
// the map they belong to. The names are how messages call the two files
// (e.g. "destination staidx2.mul"). For a move within one world, source and
// destination are the same bytes.
struct StaticsPairBytes {
    std::span<const std::uint8_t> index;
    std::span<const std::uint8_t> data;
    MapGeometry geometry;
    std::string indexName = "staidx0.mul";
    std::string dataName = "statics0.mul";
};

// The source rectangle in cells (both ends included; empty when a minimum
// exceeds its maximum), the destination cell of its corner (minX, minY), and
// the altitude shift. Parts of the rectangle outside the source map hold no
// statics and stand for no target cells.
struct TransplantPlacement {
    int minX = 0;
    int maxX = -1;
    int minY = 0;
    int maxY = -1;
    int offX = 0;
    int offY = 0;
    int offZ = 0;
};

enum class StaticsMode {
    Replace,  // the target cells lose their statics before the new ones arrive
    Add,      // the target cells keep theirs; an identical static is not added
};

struct StaticsTransplantSummary {
    std::uint64_t moved = 0;              // statics written into the destination
    std::uint64_t removed = 0;            // destination statics taken from the target cells
    std::uint64_t leftOut = 0;            // landing beyond the destination's edges
    std::uint64_t duplicatesSkipped = 0;  // identical to one already in the cell

    friend bool operator==(const StaticsTransplantSummary&,
                           const StaticsTransplantSummary&) = default;
};

struct StaticsTransplantResult {
    // The destination index's new contents, as long as before: every entry
    // keeps its third field ("extra"), bytes past the last block stay.
    std::vector<std::uint8_t> index;
    // The length of the destination data's new contents: the records of
    // every block, block after block in block-number order with no gaps, so
    // 7 bytes per static. It may be less than the data's old length; bytes of
    // the old file past it are referenced by no entry.
    std::uint64_t dataLength = 0;
    StaticsTransplantSummary summary;
};

// The size the pieces of new data reach before they are handed on.
inline constexpr std::size_t kStaticsPieceBytes = std::size_t{1} << 20;

// Receives the destination data's new contents piece by piece, in order and
// without gaps: bytes are the contents from position offset on. The span is
// valid only during the call.
using StaticsDataWriter =
    std::function<void(std::uint64_t offset, std::span<const std::uint8_t> bytes)>;

// A statics pair that cannot be used, or a result that the format cannot
// hold. what() is the message for the user.
class StaticsTransplantError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Checks the destination pair as a whole: the index holds an entry for every
// block of the geometry, and every entry with records (lookup not -1, length
// not 0) has a length that is a multiple of 7 and lies inside the data.
// Entries sharing bytes are accepted. Returns the message for the first
// fault, in block-number order, or nothing.
std::optional<std::string> CheckDestinationStatics(const StaticsPairBytes& destination);

// Checks the source pair: the index holds an entry for every block of the
// geometry, and the entries of the blocks the rectangle touches are sound as
// above (blocks elsewhere are not read). Returns the message or nothing.
std::optional<std::string> CheckSourceStatics(const StaticsPairBytes& source,
                                              const TransplantPlacement& placement);

// Every static standing in a cell of the source rectangle (cell = 8 * block +
// the record's x, y, looked for in the blocks the rectangle touches) goes to
// the cell moved by (offX - minX, offY - minY), its altitude z + offZ wrapped
// into a signed byte; one landing outside the destination's geometry is left
// out. In Replace mode the destination's statics of the target cells (the
// rectangle's image inside the destination, looked for in the blocks it
// touches) are removed first; in Add mode a static whose cell already held one
// of the same graphic, altitude and hue before the transplant is skipped.
// Within each block the statics kept come first, in their order, then the new
// ones in source order, so the order within every cell is kept.
//
// The new data goes to writeData in pieces of about pieceBytes while the blocks
// are laid out; the new index is returned. Both inputs are read until the
// last piece has been written, so they must not be views of the files being
// written (read them into memory). Empty blocks get lookup -1, length 0; an
// empty block whose lookup was already -1 keeps its entry's bytes.
//
// Throws StaticsTransplantError, before writeData is first called, when a
// check above fails or the data would pass the 2 GiB a lookup can reach;
// std::bad_alloc when memory runs out; whatever writeData throws (the pieces
// after it are not written). Besides the inputs and the index it holds about
// 7 bytes per static moved, 4 per destination block and one piece.
StaticsTransplantResult TransplantStatics(const StaticsPairBytes& source,
                                          const StaticsPairBytes& destination,
                                          const TransplantPlacement& placement, StaticsMode mode,
                                          const StaticsDataWriter& writeData,
                                          std::size_t pieceBytes = kStaticsPieceBytes);

// The bytes of after to write over a file holding before so that it holds
// after (followed by whatever of before lies past after's end): the shortest
// range outside which both hold the same bytes, every position past the end
// of before counting as different. Length 0 (offset 0) when after is a prefix
// of before.
struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;

    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};
ByteRange ChangedBytes(std::span<const std::uint8_t> before, std::span<const std::uint8_t> after);

}  // namespace kestrel
