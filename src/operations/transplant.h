#pragma once

// Moves a rectangle of one world, its land and its statics, into another
// world's own map and statics files (or to another place of the same world),
// as one change that happens completely or not at all.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "clientfiles/map_geometry.h"
#include "operations/copy_settings.h"
#include "operations/statics_transplant.h"

namespace kestrel {

// The transplant cannot be done; what() is the message for the user. Nothing
// was written (or everything written was put back).
class TransplantError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The three files of one map of a world folder.
struct WorldFiles {
    std::filesystem::path map;           // mapN.mul or mapNLegacyMUL.uop
    std::filesystem::path staticsIndex;  // staidxN.mul
    std::filesystem::path staticsData;   // staticsN.mul
};

// Finds mapN.mul (else mapNLegacyMUL.uop), staidxN.mul and staticsN.mul in
// directory, the names in any case. role ("source", "destination") starts
// the messages. Throws TransplantError naming the first file missing, or the
// directory when it is not one.
WorldFiles FindWorldFiles(const std::filesystem::path& directory, int mapNumber,
                          const std::string& role);

struct TransplantRequest {
    WorldFiles source;
    WorldFiles destination;
    // The source rectangle in cells (both ends included), the destination
    // cell of its top left corner and the altitude shift (8-bit wrap).
    TransplantPlacement placement;
    bool land = true;                                      // copy the land cells
    std::optional<StaticsMode> statics = StaticsMode::Replace;  // nothing: leave statics
    bool dryRun = false;  // work everything out, write nothing
    // The sizes of the source's and destination's maps, instead of the sizes
    // told from their files (a map of a size no facet has cannot be told).
    std::optional<MapGeometry> sourceGeometry;
    std::optional<MapGeometry> destinationGeometry;
    // Where the rollback journal is kept (JournalStore).
    std::filesystem::path journalDirectory;
};

struct LandTransplantSummary {
    std::uint64_t cellsCopied = 0;
    std::uint64_t cellsClipped = 0;    // landing right of or below the destination
    std::uint64_t altitudeWraps = 0;   // cells copied whose altitude wrapped around

    friend bool operator==(const LandTransplantSummary&, const LandTransplantSummary&) = default;
};

struct TransplantSummary {
    LandTransplantSummary land;
    StaticsTransplantSummary statics;
    bool sameWorld = false;  // source and destination share a file
};

// Transplants the rectangle of request.placement:
// - land (request.land): the cells by the Copy Map rule through
//   CopyMapStoreSpans, between maps of any size and container, clipped at the
//   destination's right and bottom edges, altitudes shifted with the 8-bit
//   wrap; the source must hold every cell the rectangle reads.
// - statics (unless request.statics is empty): TransplantStatics in the mode
//   given, the destination's data rewritten compactly and cut to its new
//   length.
// Sources are opened read-only under a shared lock, destinations for writing
// under the exclusive lock; a file that is source and destination at once
// (a move within one world) is opened once and read whole before anything is
// written. Interrupted changes of the destination files are rolled back
// first. Everything written goes through one Transaction in the journal
// store at request.journalDirectory, protecting only the bytes that change:
// a failure leaves all destination files as they were.
//
// Returns the summary (also for a dry run, which writes nothing and keeps no
// journal). Throws TransplantError for a missing or unopenable file, a
// source too short for the rectangle, damaged statics, a file that is no map,
// and for a failure while writing (after the rollback; the
// message says so, and names the journal when the rollback itself failed).
// Throws std::bad_alloc when memory runs out. Holds both statics pairs and
// the destination's new data in memory; the land goes a block column at a
// time.
TransplantSummary Transplant(const TransplantRequest& request);

// The destination's statics as the transplant leaves them.
struct TransplantedStatics {
    MapGeometry geometry;             // the map size their index is laid out for
    std::vector<std::uint8_t> index;  // staidxN.mul's new contents, as long as before
    std::vector<std::uint8_t> data;   // staticsN.mul's new contents, whole
};

struct TransplantPlan {
    TransplantSummary summary;
    std::optional<TransplantedStatics> statics;  // nothing when request.statics is empty
};

// The land part of a transplant of placement: the Copy Map settings of the
// same rectangle, offsets and altitude shift (the paths left empty).
CopySettings LandSettings(const TransplantPlacement& placement);

// Works out the transplant of request as Transplant does, through the same
// code, with the same checks and messages, but opens every file for reading
// only (under the shared lock), rolls back no interrupted change, writes
// nothing and keeps no journal: request.dryRun and request.journalDirectory
// are not used. Returns the summary and the destination's new statics; its
// land is that of CopyPreviewCells over the two maps with the placement's
// rectangle and offsets (the Copy Map rule). Throws TransplantError and
// std::bad_alloc as Transplant does. Holds both statics pairs and the new
// pair in memory.
TransplantPlan PlanTransplant(const TransplantRequest& request);

// The summary as lines for people, each ending in a newline.
std::string FormatTransplantSummary(const TransplantSummary& summary,
                                    const TransplantRequest& request);

}  // namespace kestrel
