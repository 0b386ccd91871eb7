#include "cli/transplant_preview_command.h"

#include <filesystem>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_app.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/file_bytes.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/map_bytes.h"
#include "clientfiles/map_cells.h"
#include "clientfiles/radar_colors.h"
#include "clientfiles/static_blocks.h"
#include "operations/copy_preview_cells.h"
#include "operations/copy_settings.h"
#include "operations/map_colors.h"
#include "operations/map_painter.h"
#include "operations/png_writer.h"

namespace kestrel {

namespace {

int Failure(std::ostream& err, const std::string& problem) {
    err << "kestrel-cli: transplant --preview: " << problem << '\n';
    return kExitOperationFailed;
}

}  // namespace

int RunTransplantPreview(const TransplantRequest& request, const std::string& pngPath,
                         bool showSummary, std::ostream& out, std::ostream& err) {
    try {
        // The transplant's own checks and statics first: what it would refuse
        // is refused here with its message.
        const TransplantPlan plan = PlanTransplant(request);

        const std::string destPath = request.destination.map.string();
        MapBytes dest;
        std::optional<MapBytes> source;
        std::error_code sameError;
        const bool sameMap =
            std::filesystem::equivalent(request.source.map, request.destination.map, sameError);
        try {
            dest = ReadMapBytes(destPath, request.destinationGeometry);
            if (request.land && !sameMap) {
                source = ReadMapBytes(request.source.map.string(), request.sourceGeometry);
            }
        } catch (const FileException& failure) {
            return Failure(err, std::string("cannot read a map: ") + failure.what());
        } catch (const ClientFileError& failure) {
            return Failure(err, std::string("cannot read a map: ") + failure.what());
        }

        // With --statics none the destination keeps its own statics.
        std::vector<std::uint8_t> keptIndex;
        std::vector<std::uint8_t> keptData;
        MapGeometry staticsGeometry = dest.detection.geometry;
        std::span<const std::uint8_t> index;
        std::span<const std::uint8_t> data;
        if (plan.statics) {
            staticsGeometry = plan.statics->geometry;
            index = plan.statics->index;
            data = plan.statics->data;
        } else {
            try {
                keptIndex = ReadFileBytes(request.destination.staticsIndex.string());
                keptData = ReadFileBytes(request.destination.staticsData.string());
            } catch (const FileException& failure) {
                return Failure(
                    err, std::string("cannot read the destination statics: ") + failure.what());
            }
            index = keptIndex;
            data = keptData;
        }

        const auto [colors, colorsFrom] = ColorsForMap(request.destination.map);

        const MulMapCells destCells(dest.detection.geometry, dest.bytes);
        const MapBytes& sourceMap = source ? *source : dest;
        const MulMapCells sourceCells(sourceMap.detection.geometry, sourceMap.bytes);
        std::optional<CopyPreviewCells> landed;
        if (request.land) {
            landed.emplace(destCells, sourceCells, LandSettings(request.placement));
        }
        const MapCellSource& cells =
            landed ? static_cast<const MapCellSource&>(*landed) : destCells;
        const MulStaticBlocks statics(staticsGeometry, index, data);
        const MapPainter painter(cells, &statics, colors);
        const MapGeometry geometry = cells.Geometry();
        const MapImage image =
            painter.Paint(WholeMap(geometry), 1, geometry.width, geometry.height);
        WritePng(pngPath, image.View());
        if (showSummary) {
            TransplantRequest dryRun = request;
            dryRun.dryRun = true;
            out << FormatTransplantSummary(plan.summary, dryRun);
        }
        out << "Wrote " << pngPath << ": " << destPath
            << " and its statics as the transplant would leave them, " << geometry.width << " x "
            << geometry.height << " pixels, colours from " << colorsFrom
            << "; no map or statics file was written.\n";
    } catch (const TransplantError& failure) {
        return Failure(err, failure.what());
    } catch (const FileException& failure) {
        return Failure(err, failure.what());
    } catch (const std::bad_alloc&) {
        return Failure(err, "Out of memory.");
    } catch (const std::runtime_error& failure) {
        return Failure(err, failure.what());
    }
    return kExitSuccess;
}

}  // namespace kestrel
