#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "clientfiles/binary_file.h"
#include "clientfiles/change_description.h"
#include "clientfiles/file_exception.h"
#include "clientfiles/journal_store.h"
#include "clientfiles/map_store.h"
#include "operations/copy_settings.h"

namespace kestrel {

// length bytes of a file from offset.
using ByteRange = PhysicalRange;

// The byte ranges of dest's file that a copy of settings into it writes
// (CopyMapStoreSpans): per destination block column the logical span from its
// first to its last cell written, as dest stores it (see
// MapStore::PhysicalRanges). Empty when the rectangle lands wholly off the map.
std::vector<ByteRange> MapCopyDestinationRanges(const CopySettings& settings, const MapStore& dest);

// The destination cells a copy of settings into a map of destGeometry
// changes, for the undo history.
ChangeDescription DescribeMapCopy(const CopySettings& settings, const MapGeometry& destGeometry);

// A change that failed and whose old bytes could not be put back either. what()
// gives the first failure's text, then says that rolling back failed too and
// that the journal was kept for recovery.
class RollbackFailure : public FileException {
public:
    RollbackFailure(const FileException& original, const std::string& rollbackError,
                    const std::string& journalPath);
    const char* what() const noexcept override { return text.c_str(); }

private:
    std::string text;
};

// Changes one file all or nothing through a rollback journal in the user's
// state directory (or the directory given). A device or a pipe has no old
// bytes to put back: it is written directly, without a journal.
class JournaledFileWrite {
public:
    // journalDirectory empty: JournalStore::DefaultDirectory().
    explicit JournaledFileWrite(std::string journalDirectory = std::string());

    // Finds the journal directory and rolls back any interrupted change of the
    // file at path; call it before the file is opened to be read or changed.
    // Returns a message for the user when the file must not be changed now:
    // there is no state directory, or an interrupted change of the file could
    // not be rolled back (its journal is kept). A directory that cannot be
    // read holds nothing to recover.
    std::optional<std::string> Recover(const std::string& path);

    // Keeps the old bytes of ranges of file (in any order, overlaps allowed)
    // durable in a journal, runs write, which must change no byte of file
    // outside ranges except by lengthening it, then makes the file durable and
    // the change complete: an entry of the undo history.
    //
    // Returns a message, having written nothing, when the journal cannot be
    // kept (its directory cannot be made or written). When write or the
    // completion throws, the old bytes and the old length are put back and
    // the exception is rethrown; when putting them back fails as well,
    // RollbackFailure is thrown instead and the journal is kept for recovery.
    // Throws FileException when the file's old bytes cannot be read.
    std::optional<std::string> Write(BinaryFile& file, const std::vector<ByteRange>& ranges,
                                     ChangeDescription description,
                                     const std::function<void()>& write);

private:
    std::optional<std::string> OpenStore();

    std::string journalDirectory;
    std::optional<JournalStore> store;
};

}  // namespace kestrel
