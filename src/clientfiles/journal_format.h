#pragma once

// The on-disk layout of a rollback journal, shared by the transaction that
// writes one and by recovery and undo, which read one back.
//
// A journal holds two state slots (at 0 and at 4096, each in its own page, so
// that a write torn by a power cut spoils at most one of them) and, from 8192
// on, a sequence of records. The valid slot with the highest sequence number
// gives the journal's state and its sealed end: the records before the sealed
// end were made durable before any byte they protect was changed, so all of
// them must be intact; records past it protect nothing and are ignored.
//
// Slot (40 bytes, little-endian): magic "KSTRLJNL" (8), format version u32,
// state u32, sequence u64, sealed end u64, reserved u32, crc32 of the 36 bytes
// before it (u32).
//
// Record: type u32, payload length u32, payload, crc32 of type, length and
// payload (u32). Payloads:
//   Description: created (ns since 1970, i64), flags u32 (1: has area),
//                area x, y, width, height (u32 each), operation, summary
//   File:        index u32, device u64, inode u64, original length u64, path
//   Range:       file index u32, offset u64, the file's old bytes from offset
//   Commit:      committed (ns since 1970, i64), file count u32, then per file
//                new length u64 and crc32 of its new bytes u32
// Strings are a u32 byte count followed by the bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "clientfiles/binary_file.h"
#include "clientfiles/change_description.h"

namespace kestrel::journal {

inline constexpr char kMagic[8] = {'K', 'S', 'T', 'R', 'L', 'J', 'N', 'L'};
inline constexpr std::uint32_t kFormatVersion = 1;
inline constexpr std::uint64_t kSlotOffsets[2] = {0, 4096};
inline constexpr std::size_t kSlotSize = 40;
inline constexpr std::size_t kSlotCrcOffset = 36;
inline constexpr std::uint64_t kRecordsStart = 8192;
inline constexpr std::size_t kRecordHeaderSize = 8;
inline constexpr std::size_t kRecordTrailerSize = 4;
inline constexpr std::size_t kRangeHeaderSize = 12;
// Old bytes are kept in records of at most this many bytes, so that reading
// one back needs a bounded buffer.
inline constexpr std::size_t kMaxRangeData = std::size_t{1} << 20;
// Larger payloads of other records can only come from damage.
inline constexpr std::size_t kMaxOtherPayload = std::size_t{1} << 20;
inline constexpr std::uint32_t kFlagHasArea = 1;

// The names a journal's file takes in the journal directory: the suffix of a
// sealed journal, and of one still being written before its first seal.
inline constexpr const char* kJournalSuffix = ".journal";
inline constexpr const char* kUnsealedSuffix = ".journal.new";

enum class JournalState : std::uint32_t {
    Open = 1,      // the change is under way or was interrupted: roll it back
    Complete = 2,  // the change is whole and durable: an undo history entry
    Undoing = 3,   // an undo began: finish it by rolling back
};

enum class RecordType : std::uint32_t { Description = 1, File = 2, Range = 3, Commit = 4 };

struct Slot {
    JournalState state = JournalState::Open;
    std::uint64_t sequence = 0;
    std::uint64_t sealedEnd = 0;
};

struct FileEntry {
    std::string path;
    BinaryFile::Identity identity;
    std::uint64_t originalLength = 0;
};

// The old bytes of file fileIndex from offset, length bytes long, kept in the
// journal at dataOffset.
struct Range {
    std::uint32_t fileIndex = 0;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint64_t dataOffset = 0;
};

struct FileResult {
    std::uint64_t newLength = 0;
    std::uint32_t crc = 0;
};

struct Commit {
    std::int64_t committedNs = 0;
    std::vector<FileResult> files;
};

// A journal as read back. damage is empty when every check passed; otherwise
// it says what is wrong, and whatever was read before that is kept.
struct ParsedJournal {
    std::string path;
    std::uint64_t size = 0;
    std::optional<Slot> slot;
    int slotIndex = 0;
    std::string damage;
    std::optional<ChangeDescription> description;
    std::int64_t createdNs = 0;
    std::vector<FileEntry> files;
    std::vector<Range> ranges;
    std::optional<Commit> commit;

    bool Intact() const { return damage.empty(); }
    // Bytes of file fileIndex the journal holds the old values of.
    std::uint64_t OldBytes(std::uint32_t fileIndex) const;
};

// Growable record buffer with little-endian stores.
class RecordBuffer {
public:
    // Starts a record of type; returns its start for FinishRecord.
    std::size_t BeginRecord(RecordType type);
    // Sets the payload length from what was appended and appends the crc.
    void FinishRecord(std::size_t start);

    void PutU32(std::uint32_t value);
    void PutU64(std::uint64_t value);
    void PutString(const std::string& text);
    // Makes room for count bytes at the end and returns where they go.
    std::uint8_t* Extend(std::size_t count);
    // Drops bytes from the end (a read that came up short).
    void Shrink(std::size_t count) { bytes.resize(bytes.size() - count); }

    std::size_t Size() const { return bytes.size(); }
    const std::uint8_t* Data() const { return bytes.data(); }
    void Clear() { bytes.clear(); }

private:
    std::vector<std::uint8_t> bytes;
};

void AppendDescription(RecordBuffer& out, const ChangeDescription& description,
                       std::int64_t createdNs);
void AppendFile(RecordBuffer& out, std::uint32_t index, const FileEntry& file);
void AppendCommit(RecordBuffer& out, const Commit& commit);

// Writes slot into slot place index (0 or 1) of journal. Throws FileException.
void WriteSlot(BinaryFile& journal, int index, const Slot& slot);

// Reads journal's slots and its sealed records. With verifyData the old bytes
// of every range are read and checked as well; without, only the other records
// are (enough to list the journal). Throws FileException when reading fails;
// damage is reported in the result.
ParsedJournal ReadJournal(BinaryFile& journal, bool verifyData);

// The crc32 of file's bytes that a change described by ranges (in journal
// order) wrote: those of each range, then those from originalLength to
// newLength; regions are clipped to newLength. Throws FileException.
std::uint32_t NewBytesCrc(BinaryFile& file,
                          const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges,
                          std::uint64_t originalLength, std::uint64_t newLength);

// The ranges (offset, length) of file fileIndex in parsed, in journal order.
std::vector<std::pair<std::uint64_t, std::uint64_t>> RangesOf(const ParsedJournal& parsed,
                                                              std::uint32_t fileIndex);

// Puts the old bytes of every range of parsed back into files (indexed like
// parsed.files), gives each file its original length and makes the files
// durable. parsed must be intact and read with verifyData. Throws
// FileException.
void RestoreOldBytes(BinaryFile& journal, const ParsedJournal& parsed,
                     const std::vector<BinaryFile*>& files);

// Nanoseconds since 1970 now.
std::int64_t NowNs();

}  // namespace kestrel::journal
