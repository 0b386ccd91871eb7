#include "operations/operation_run.h"

#include <system_error>
#include <utility>

namespace kestrel {

OperationRun::OperationRun(UserInterface& ui) : ui(ui), busy(ui) {}

BinaryFile* OperationRun::Open(const std::string& path, BinaryFile::Mode mode) {
    BinaryFile& file = files.at(opened);
    if (!file.Open(path, mode)) {
        failedPath = path;
        failedError = file.OpenError();
        return nullptr;
    }
    ++opened;
    return &file;
}

MapStore* OperationRun::OpenMap(const std::string& path, const MapStoreOptions& options) {
    MapStore& map = maps.at(mapsOpened);
    if (!map.Open(path, options)) {
        failedPath = path;
        failedError = map.File().OpenError();
        return nullptr;
    }
    ++mapsOpened;
    return &map;
}

OperationOutcome OperationRun::Done() {
    return End({OperationStatus::Done, std::string(), std::string()});
}

OperationOutcome OperationRun::Refuse(std::string message) {
    return End({OperationStatus::Refused, std::move(message), std::string()});
}

OperationOutcome OperationRun::CannotOpen(std::string message) {
    std::string details = failedPath + ": " + std::system_category().message(failedError);
    return End({OperationStatus::FileError, std::move(message), std::move(details)});
}

OperationOutcome OperationRun::End(OperationOutcome outcome) {
    for (std::size_t at = 0; at < mapsOpened; ++at) {
        maps[at].Close();
    }
    for (std::size_t at = 0; at < opened; ++at) {
        files[at].Close();
    }
    busy.End();
    if (!outcome.message.empty()) {
        ui.ShowMessage(outcome.message, outcome.details);
    }
    return outcome;
}

}  // namespace kestrel
