#include "clientfiles/journal_format.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

#include "clientfiles/byte_order.h"
#include "clientfiles/file_exception.h"

namespace kestrel::journal {

namespace {

std::uint64_t LoadU64Le(const std::uint8_t* bytes) {
    return std::uint64_t{LoadU32Le(bytes)} | (std::uint64_t{LoadU32Le(bytes + 4)} << 32);
}

void StoreU64Le(std::uint8_t* bytes, std::uint64_t value) {
    StoreU32Le(bytes, static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
    StoreU32Le(bytes + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint32_t Crc(std::uint32_t crc, const std::uint8_t* bytes, std::size_t count) {
    // zlib takes at most a uInt per call.
    constexpr std::size_t kStep = std::size_t{1} << 30;
    while (count > 0) {
        const std::size_t step = std::min(count, kStep);
        crc = static_cast<std::uint32_t>(::crc32(crc, bytes, static_cast<uInt>(step)));
        bytes += step;
        count -= step;
    }
    return crc;
}

std::uint32_t Crc(const std::uint8_t* bytes, std::size_t count) {
    return Crc(static_cast<std::uint32_t>(::crc32(0, nullptr, 0)), bytes, count);
}

// Reads exactly count bytes at position; false when the file ends first.
bool ReadAt(BinaryFile& file, std::uint64_t position, std::uint8_t* buffer, std::size_t count) {
    file.Seek(static_cast<std::int64_t>(position));
    return file.Read(buffer, count) == count;
}

// Bounds-checked little-endian reads of one payload.
class PayloadReader {
public:
    PayloadReader(const std::uint8_t* bytes, std::size_t size) : bytes(bytes), size(size) {}

    bool U32(std::uint32_t& value) {
        if (size - at < 4) {
            return false;
        }
        value = LoadU32Le(bytes + at);
        at += 4;
        return true;
    }
    bool U64(std::uint64_t& value) {
        if (size - at < 8) {
            return false;
        }
        value = LoadU64Le(bytes + at);
        at += 8;
        return true;
    }
    bool I64(std::int64_t& value) {
        std::uint64_t raw = 0;
        if (!U64(raw)) {
            return false;
        }
        value = static_cast<std::int64_t>(raw);
        return true;
    }
    bool String(std::string& text) {
        std::uint32_t length = 0;
        if (!U32(length) || size - at < length) {
            return false;
        }
        text.assign(reinterpret_cast<const char*>(bytes + at), length);
        at += length;
        return true;
    }
    bool AtEnd() const { return at == size; }

private:
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t at = 0;
};

bool DecodeDescription(PayloadReader& in, ParsedJournal& parsed) {
    ChangeDescription description;
    std::uint32_t flags = 0;
    CellRectangle area;
    if (!in.I64(parsed.createdNs) || !in.U32(flags) || !in.U32(area.x) || !in.U32(area.y) ||
        !in.U32(area.width) || !in.U32(area.height) || !in.String(description.operation) ||
        !in.String(description.summary) || !in.AtEnd()) {
        return false;
    }
    if ((flags & kFlagHasArea) != 0) {
        description.area = area;
    }
    parsed.description = std::move(description);
    return true;
}

bool DecodeFile(PayloadReader& in, ParsedJournal& parsed) {
    std::uint32_t index = 0;
    FileEntry file;
    if (!in.U32(index) || !in.U64(file.identity.device) || !in.U64(file.identity.inode) ||
        !in.U64(file.originalLength) || !in.String(file.path) || !in.AtEnd() ||
        index != parsed.files.size()) {
        return false;
    }
    parsed.files.push_back(std::move(file));
    return true;
}

bool DecodeCommit(PayloadReader& in, ParsedJournal& parsed) {
    Commit commit;
    std::uint32_t count = 0;
    if (!in.I64(commit.committedNs) || !in.U32(count) || count != parsed.files.size()) {
        return false;
    }
    for (std::uint32_t at = 0; at < count; ++at) {
        FileResult result;
        if (!in.U64(result.newLength) || !in.U32(result.crc)) {
            return false;
        }
        commit.files.push_back(result);
    }
    if (!in.AtEnd()) {
        return false;
    }
    parsed.commit = std::move(commit);
    return true;
}

std::optional<Slot> DecodeSlot(const std::uint8_t* bytes) {
    if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0 ||
        LoadU32Le(bytes + kSlotCrcOffset) != Crc(bytes, kSlotCrcOffset) ||
        LoadU32Le(bytes + 8) != kFormatVersion) {
        return std::nullopt;
    }
    const std::uint32_t state = LoadU32Le(bytes + 12);
    if (state < static_cast<std::uint32_t>(JournalState::Open) ||
        state > static_cast<std::uint32_t>(JournalState::Undoing)) {
        return std::nullopt;
    }
    Slot slot;
    slot.state = static_cast<JournalState>(state);
    slot.sequence = LoadU64Le(bytes + 16);
    slot.sealedEnd = LoadU64Le(bytes + 24);
    if (slot.sequence == 0) {
        return std::nullopt;
    }
    return slot;
}

// Reads the records from kRecordsStart to the sealed end into parsed, noting
// the first damage found.
void ReadRecords(BinaryFile& journal, ParsedJournal& parsed, bool verifyData) {
    const std::uint64_t end = parsed.slot->sealedEnd;
    std::vector<std::uint8_t> buffer;
    std::uint64_t position = kRecordsStart;
    while (position < end) {
        std::uint8_t header[kRecordHeaderSize];
        if (end - position < kRecordHeaderSize + kRecordTrailerSize ||
            !ReadAt(journal, position, header, sizeof header)) {
            parsed.damage = "a record is cut short";
            return;
        }
        const std::uint32_t type = LoadU32Le(header);
        const std::uint32_t length = LoadU32Le(header + 4);
        const std::uint64_t total = std::uint64_t{kRecordHeaderSize} + length + kRecordTrailerSize;
        const bool isRange = type == static_cast<std::uint32_t>(RecordType::Range);
        const std::size_t limit = isRange ? kRangeHeaderSize + kMaxRangeData : kMaxOtherPayload;
        if (total > end - position || length > limit || (isRange && length < kRangeHeaderSize)) {
            parsed.damage = "a record's length is impossible";
            return;
        }
        // Without verifyData only a range's header is read; its crc cannot be
        // checked then.
        const bool whole = !isRange || verifyData;
        const std::size_t wanted = whole ? kRecordHeaderSize + length + kRecordTrailerSize
                                         : kRecordHeaderSize + kRangeHeaderSize;
        buffer.resize(wanted);
        if (!ReadAt(journal, position, buffer.data(), wanted)) {
            parsed.damage = "a record is cut short";
            return;
        }
        if (whole) {
            const std::size_t checked = kRecordHeaderSize + length;
            if (LoadU32Le(buffer.data() + checked) != Crc(buffer.data(), checked)) {
                parsed.damage = "a record's checksum does not match";
                return;
            }
        }
        PayloadReader in(buffer.data() + kRecordHeaderSize, whole ? length : kRangeHeaderSize);
        bool decoded = false;
        switch (static_cast<RecordType>(type)) {
            case RecordType::Description:
                decoded = !parsed.description && DecodeDescription(in, parsed);
                break;
            case RecordType::File:
                decoded = parsed.description && !parsed.commit && DecodeFile(in, parsed);
                break;
            case RecordType::Range: {
                Range range;
                decoded = parsed.description && !parsed.commit && in.U32(range.fileIndex) &&
                          in.U64(range.offset) && range.fileIndex < parsed.files.size();
                range.length = length - kRangeHeaderSize;
                range.dataOffset = position + kRecordHeaderSize + kRangeHeaderSize;
                decoded = decoded && range.offset + range.length <=
                                         parsed.files[range.fileIndex].originalLength;
                if (decoded) {
                    parsed.ranges.push_back(range);
                }
                break;
            }
            case RecordType::Commit:
                decoded = parsed.description && !parsed.commit && DecodeCommit(in, parsed);
                break;
        }
        if (!decoded) {
            parsed.damage = "a record does not fit the journal";
            return;
        }
        position += total;
    }
    if (!parsed.description) {
        parsed.damage = "it does not describe its change";
    } else if (parsed.slot->state == JournalState::Complete && !parsed.commit) {
        parsed.damage = "it is marked complete without the result of its change";
    }
}

}  // namespace

std::uint64_t ParsedJournal::OldBytes(std::uint32_t fileIndex) const {
    std::uint64_t total = 0;
    for (const Range& range : ranges) {
        if (range.fileIndex == fileIndex) {
            total += range.length;
        }
    }
    return total;
}

std::size_t RecordBuffer::BeginRecord(RecordType type) {
    const std::size_t start = bytes.size();
    PutU32(static_cast<std::uint32_t>(type));
    PutU32(0);
    return start;
}

void RecordBuffer::FinishRecord(std::size_t start) {
    const std::size_t payload = bytes.size() - start - kRecordHeaderSize;
    StoreU32Le(bytes.data() + start + 4, static_cast<std::uint32_t>(payload));
    const std::uint32_t crc = Crc(bytes.data() + start, bytes.size() - start);
    PutU32(crc);
}

void RecordBuffer::PutU32(std::uint32_t value) {
    StoreU32Le(Extend(4), value);
}

void RecordBuffer::PutU64(std::uint64_t value) {
    StoreU64Le(Extend(8), value);
}

void RecordBuffer::PutString(const std::string& text) {
    PutU32(static_cast<std::uint32_t>(text.size()));
    if (!text.empty()) {
        std::memcpy(Extend(text.size()), text.data(), text.size());
    }
}

std::uint8_t* RecordBuffer::Extend(std::size_t count) {
    const std::size_t at = bytes.size();
    bytes.resize(at + count);
    return bytes.data() + at;
}

void AppendDescription(RecordBuffer& out, const ChangeDescription& description,
                       std::int64_t createdNs) {
    const std::size_t start = out.BeginRecord(RecordType::Description);
    out.PutU64(static_cast<std::uint64_t>(createdNs));
    const CellRectangle area = description.area.value_or(CellRectangle{});
    out.PutU32(description.area ? kFlagHasArea : 0);
    out.PutU32(area.x);
    out.PutU32(area.y);
    out.PutU32(area.width);
    out.PutU32(area.height);
    out.PutString(description.operation);
    out.PutString(description.summary);
    out.FinishRecord(start);
}

void AppendFile(RecordBuffer& out, std::uint32_t index, const FileEntry& file) {
    const std::size_t start = out.BeginRecord(RecordType::File);
    out.PutU32(index);
    out.PutU64(file.identity.device);
    out.PutU64(file.identity.inode);
    out.PutU64(file.originalLength);
    out.PutString(file.path);
    out.FinishRecord(start);
}

void AppendCommit(RecordBuffer& out, const Commit& commit) {
    const std::size_t start = out.BeginRecord(RecordType::Commit);
    out.PutU64(static_cast<std::uint64_t>(commit.committedNs));
    out.PutU32(static_cast<std::uint32_t>(commit.files.size()));
    for (const FileResult& file : commit.files) {
        out.PutU64(file.newLength);
        out.PutU32(file.crc);
    }
    out.FinishRecord(start);
}

void WriteSlot(BinaryFile& journal, int index, const Slot& slot) {
    std::uint8_t bytes[kSlotSize] = {};
    std::memcpy(bytes, kMagic, sizeof kMagic);
    StoreU32Le(bytes + 8, kFormatVersion);
    StoreU32Le(bytes + 12, static_cast<std::uint32_t>(slot.state));
    StoreU64Le(bytes + 16, slot.sequence);
    StoreU64Le(bytes + 24, slot.sealedEnd);
    StoreU32Le(bytes + kSlotCrcOffset, Crc(bytes, kSlotCrcOffset));
    journal.Seek(static_cast<std::int64_t>(kSlotOffsets[index]));
    journal.Write(bytes, sizeof bytes);
}

ParsedJournal ReadJournal(BinaryFile& journal, bool verifyData) {
    ParsedJournal parsed;
    parsed.path = journal.FullPath();
    parsed.size = journal.Length();
    for (int index = 0; index < 2; ++index) {
        std::uint8_t bytes[kSlotSize];
        if (!ReadAt(journal, kSlotOffsets[index], bytes, sizeof bytes)) {
            continue;
        }
        const std::optional<Slot> slot = DecodeSlot(bytes);
        if (slot && (!parsed.slot || slot->sequence > parsed.slot->sequence)) {
            parsed.slot = slot;
            parsed.slotIndex = index;
        }
    }
    if (!parsed.slot) {
        parsed.damage = "its state cannot be read";
    } else if (parsed.slot->sealedEnd < kRecordsStart || parsed.slot->sealedEnd > parsed.size) {
        parsed.damage = "it is shorter than its state says";
    } else {
        ReadRecords(journal, parsed, verifyData);
    }
    return parsed;
}

std::uint32_t NewBytesCrc(BinaryFile& file,
                          const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges,
                          std::uint64_t originalLength, std::uint64_t newLength) {
    std::uint32_t crc = static_cast<std::uint32_t>(::crc32(0, nullptr, 0));
    std::vector<std::uint8_t> buffer;
    const auto add = [&](std::uint64_t offset, std::uint64_t length) {
        const std::uint64_t stop = std::min(offset + length, newLength);
        while (offset < stop) {
            const std::size_t step =
                static_cast<std::size_t>(std::min<std::uint64_t>(stop - offset, kMaxRangeData));
            buffer.resize(step);
            if (!ReadAt(file, offset, buffer.data(), step)) {
                // The file is shorter than newLength: the crc cannot match.
                crc = ~crc;
                return;
            }
            crc = Crc(crc, buffer.data(), step);
            offset += step;
        }
    };
    for (const auto& [offset, length] : ranges) {
        add(offset, length);
    }
    if (newLength > originalLength) {
        add(originalLength, newLength - originalLength);
    }
    return crc;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> RangesOf(const ParsedJournal& parsed,
                                                              std::uint32_t fileIndex) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    for (const Range& range : parsed.ranges) {
        if (range.fileIndex != fileIndex) {
            continue;
        }
        if (!ranges.empty() && ranges.back().first + ranges.back().second == range.offset) {
            ranges.back().second += range.length;
        } else {
            ranges.emplace_back(range.offset, range.length);
        }
    }
    return ranges;
}

void RestoreOldBytes(BinaryFile& journal, const ParsedJournal& parsed,
                     const std::vector<BinaryFile*>& files) {
    std::vector<std::uint8_t> buffer;
    for (const Range& range : parsed.ranges) {
        const std::size_t length = static_cast<std::size_t>(range.length);
        buffer.resize(length);
        if (!ReadAt(journal, range.dataOffset, buffer.data(), length)) {
            throw FileException(FileErrorCause::EndOfFile, journal.FullPath());
        }
        BinaryFile& file = *files[range.fileIndex];
        file.Seek(static_cast<std::int64_t>(range.offset));
        file.Write(buffer.data(), length);
    }
    for (std::size_t index = 0; index < files.size(); ++index) {
        files[index]->Truncate(parsed.files[index].originalLength);
        files[index]->Sync();
    }
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace kestrel::journal
