#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "clientfiles/binary_file.h"
#include "clientfiles/change_description.h"
#include "clientfiles/journal_format.h"
#include "clientfiles/journal_store.h"

namespace kestrel {

// One change to one or more open files that happens completely or not at all,
// kept in a rollback journal in a JournalStore:
//
//   Transaction change(store, description);
//   change.Protect(map, offset, length);   // for every range about to change
//   change.Seal();                         // the old bytes are now durable
//   ... write the ranges ...               // more Protect/Seal rounds allowed
//   change.Commit();                       // durable, complete, undoable
//
// No protected byte may be written, and no file lengthened, before the Seal
// that follows its Protect (or AddFile) has returned. A file must not be
// shortened during the change. When anything fails, Rollback (or the
// destructor) puts every old byte and the old lengths back. The files stay the
// caller's: the transaction moves their positions but never closes them.
class Transaction {
public:
    enum class State {
        Open,        // changes may be protected and written
        Committed,   // complete and durable: an entry of the undo history
        RolledBack,  // the files hold their old bytes and lengths again
        Failed,      // rolling back failed: the journal is kept for recovery
    };

    Transaction(const JournalStore& store, ChangeDescription description);
    // Rolls back an open transaction, ignoring failures (the journal is then
    // kept, and recovery rolls it back later).
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Makes file part of the change: its path, device, inode and current
    // length are recorded (at the next Seal). Adding a file twice does
    // nothing. Throws FileException.
    void AddFile(BinaryFile& file);

    // Keeps the old values of the length bytes of file from offset (adding
    // the file first when needed). Only bytes that existed when the file was
    // added are kept, each once: rolling back cuts the file to its old length.
    // Throws FileException when the file cannot be read or the journal not
    // written (the message names the journal).
    void Protect(BinaryFile& file, std::uint64_t offset, std::uint64_t length);

    // Makes what was protected and added since the last Seal durable in the
    // journal (journal and directory synced). Does nothing when there is
    // nothing new. Throws FileException.
    void Seal();

    // Seals, makes the files durable, records their new lengths and a crc32
    // of the bytes the change wrote (read back from the files), and marks the
    // journal complete. Afterwards the oldest history beyond the store's
    // limits is removed. Throws FileException; the transaction is then still
    // open and must be rolled back.
    void Commit();

    // Writes the old bytes back, restores the old lengths, makes the files
    // durable and removes the journal. Does nothing when already rolled back.
    // Throws FileException, or JournalError when the journal read back is
    // damaged; the journal is then kept for recovery (state Failed).
    void Rollback();

    State CurrentState() const { return state; }
    // Bytes whose old values are kept, over all files.
    std::uint64_t ProtectedBytes() const { return protectedBytes; }
    // The journal's path once it is sealed, otherwise empty.
    const std::string& JournalPath() const { return journalPath; }

private:
    struct Member {
        BinaryFile* file = nullptr;
        journal::FileEntry entry;
        std::map<std::uint64_t, std::uint64_t> protectedSpans;        // start -> end
        std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;  // offset, length
    };

    Member& MemberOf(BinaryFile& file);
    void ProtectSpan(std::uint32_t index, std::uint64_t start, std::uint64_t end);
    void Flush();
    void NextSlot(journal::JournalState journalState);
    void RequireOpen() const;

    const JournalStore& store;
    ChangeDescription description;
    std::int64_t createdNs = 0;
    std::vector<Member> members;
    journal::RecordBuffer pending;
    BinaryFile journalFile;
    std::string unsealedPath;
    std::string journalPath;
    std::uint64_t journalEnd = journal::kRecordsStart;
    std::uint64_t sealedEnd = 0;
    std::uint64_t sequence = 0;
    int slotIndex = 1;
    std::uint64_t protectedBytes = 0;
    bool unsealed = false;
    State state = State::Open;
};

}  // namespace kestrel
