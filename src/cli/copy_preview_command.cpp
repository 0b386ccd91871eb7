#include "cli/copy_preview_command.h"

#include <new>
#include <optional>
#include <tuple>
#include <stdexcept>

#include "cli/cli_app.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/file_bytes.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/map_bytes.h"
#include "clientfiles/map_cells.h"
#include "clientfiles/radar_colors.h"
#include "operations/copy_preview_cells.h"
#include "operations/map_colors.h"
#include "operations/map_painter.h"
#include "operations/png_writer.h"

namespace kestrel {

namespace {

int Failure(std::ostream& err, const std::string& problem) {
    err << "kestrel-cli: copy-map --preview: " << problem << '\n';
    return kExitOperationFailed;
}

}  // namespace

int RunCopyPreview(const CopySettings& settings, const std::string& pngPath, std::ostream& out,
                   std::ostream& err) {
    if (pngPath.empty()) {
        err << "kestrel-cli: --preview: the picture to write needs a file name\n";
        return kExitUsage;
    }
    MapBytes source;
    MapBytes dest;
    for (auto [path, size, map, role] :
         {std::tuple{&settings.sourceMapPath, &settings.sourceSize, &source, "source map"},
          std::tuple{&settings.destMapPath, &settings.destSize, &dest, "destination map"}}) {
        try {
            // A size given on the command line wins over the one the file tells.
            *map = ReadMapBytes(*path, *size);
        } catch (const FileException& failure) {
            return Failure(err, std::string("cannot read the ") + role + ": " + failure.what());
        } catch (const ClientFileError& failure) {
            return Failure(err, std::string("cannot read the ") + role + ": " + failure.what());
        } catch (const std::bad_alloc&) {
            return Failure(err, "Out of memory.");
        }
    }
    try {
        const auto [colors, colorsFrom] = ColorsForMap(settings.destMapPath);
        const MulMapCells sourceCells(source.detection.geometry, source.bytes);
        const MulMapCells destCells(dest.detection.geometry, dest.bytes);
        const CopyPreviewCells preview(destCells, sourceCells, settings);
        const MapPainter painter(preview, nullptr, colors);
        const MapGeometry geometry = preview.Geometry();
        const MapImage image = painter.Paint(WholeMap(geometry), 1, geometry.width, geometry.height);
        WritePng(pngPath, image.View());
        out << "Wrote " << pngPath << ": " << settings.destMapPath << " as the copy would leave it, "
            << geometry.width << " x " << geometry.height << " pixels, colours from " << colorsFrom
            << "; no map was written.\n";
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
