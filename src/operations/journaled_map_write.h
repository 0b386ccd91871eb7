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

// The byte ranges of a map0.mul destination that a copy of settings writes:
// one per destination block column, from its first to its last cell written
// (see CopyMapSpans). Empty when the rectangle lands wholly off the map.
std::vector<ByteRange> MapCopyDestinationRanges(const CopySettings& settings);

// The destination cells a copy of settings changes, for the undo history.
ChangeDescription DescribeMapCopy(const CopySettings& settings);

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

// Changes one open file all or nothing through a rollback journal in the
// user's state directory (or the directory given). A device or a pipe has no
// old bytes to put back: it is written directly, without a journal.
class JournaledFileWrite {
public:
    // journalDirectory empty: JournalStore::DefaultDirectory().
    explicit JournaledFileWrite(BinaryFile& file, std::string journalDirectory = std::string());

    // Finds the journal directory and, for a regular file, rolls back any interrupted change of the
    // file; call it right after opening the file, before reading it. Returns
    // a message for the user when the file must not be changed now: there is
    // no state directory, or an interrupted change of the file could not be
    // rolled back (its journal is kept). Throws FileException when the
    // directory cannot be read.
    std::optional<std::string> Recover();

    // Keeps the old bytes of ranges (in any order, overlaps allowed) durable
    // in a journal, runs write, which must change no byte outside ranges
    // except by lengthening the file, then makes the file durable and the
    // change complete: an entry of the undo history.
    //
    // Returns a message, having written nothing, when the journal cannot be
    // kept (its directory cannot be made or written). When write or the
    // completion throws, the old bytes and the old length are put back and
    // the exception is rethrown; when putting them back fails as well,
    // RollbackFailure is thrown instead and the journal is kept for recovery.
    // Throws FileException when the file's old bytes cannot be read.
    std::optional<std::string> Write(const std::vector<ByteRange>& ranges,
                                     ChangeDescription description,
                                     const std::function<void()>& write);

private:
    BinaryFile& file;
    std::string journalDirectory;
    std::optional<JournalStore> store;
    bool regular = false;
};

}  // namespace kestrel
