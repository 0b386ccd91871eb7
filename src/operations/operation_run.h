#pragma once

#include <array>
#include <string>

#include "clientfiles/binary_file.h"
#include "clientfiles/map_store.h"
#include "operations/operation_outcome.h"
#include "operations/user_interface.h"

namespace kestrel {

// One run of an operation: shows the busy indicator from construction on and
// holds the files the operation opens. However the run ends, every file is
// closed before the busy indicator ends, and that before any message is shown.
//
// The ways to end it return the outcome for the operation to return: Done,
// Refuse and CannotOpen close the files in the order they were opened (a
// failing close throws FileException, and the rest are then closed by the
// destructor), end the busy indicator and show the message, if any. When an
// exception leaves the operation instead, the destructor closes the files,
// ignoring failures, and ends the busy indicator; nothing is shown.
class OperationRun {
public:
    static constexpr std::size_t kMaxFiles = 3;

    explicit OperationRun(UserInterface& ui);
    ~OperationRun() = default;
    OperationRun(const OperationRun&) = delete;
    OperationRun& operator=(const OperationRun&) = delete;

    // Opens path in mode as the next of at most kMaxFiles files. Returns the
    // file, or null when it cannot be opened; CannotOpen then reports that.
    BinaryFile* Open(const std::string& path, BinaryFile::Mode mode);

    // Opens the map at path (either container) as the next of at most
    // kMaxMaps maps, which are closed before the files. Returns the map, or
    // null when it cannot be opened; CannotOpen then reports that. Throws
    // ClientFileError as MapStore::Open does.
    static constexpr std::size_t kMaxMaps = 2;
    MapStore* OpenMap(const std::string& path, const MapStoreOptions& options);

    OperationOutcome Done();
    // Ends with message: the input cannot be used.
    OperationOutcome Refuse(std::string message);
    // Ends with message after the last Open failed; the details name the path
    // as given and the system's reason.
    OperationOutcome CannotOpen(std::string message);

private:
    OperationOutcome End(OperationOutcome outcome);

    UserInterface& ui;
    // Members go in the reverse order: the files are closed before the busy
    // indicator ends.
    BusyIndicator busy;
    std::array<BinaryFile, kMaxFiles> files;
    std::size_t opened = 0;
    std::array<MapStore, kMaxMaps> maps;
    std::size_t mapsOpened = 0;
    std::string failedPath;
    int failedError = 0;
};

}  // namespace kestrel
