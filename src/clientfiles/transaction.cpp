#include "clientfiles/transaction.h"

#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "clientfiles/file_exception.h"

namespace kestrel {

using journal::JournalState;

namespace {

// Records are gathered in memory and written in pieces of about this size,
// so the journal is written sequentially with few system calls.
constexpr std::size_t kFlushThreshold = std::size_t{4} << 20;

}  // namespace

Transaction::Transaction(const JournalStore& store, ChangeDescription description)
    : store(store), description(std::move(description)), createdNs(journal::NowNs()) {
    journal::AppendDescription(pending, this->description, createdNs);
}

Transaction::~Transaction() {
    if (state == State::Open) {
        try {
            Rollback();
        } catch (...) {
            // The journal stays; recovery rolls the change back.
        }
    }
}

void Transaction::RequireOpen() const {
    if (state != State::Open) {
        throw std::logic_error("the change is no longer open");
    }
}

Transaction::Member& Transaction::MemberOf(BinaryFile& file) {
    for (Member& member : members) {
        if (member.file == &file) {
            return member;
        }
    }
    AddFile(file);
    return members.back();
}

void Transaction::AddFile(BinaryFile& file) {
    RequireOpen();
    for (const Member& member : members) {
        if (member.file == &file) {
            return;
        }
    }
    Member member;
    member.file = &file;
    member.entry.path = file.FullPath();
    member.entry.identity = file.FileIdentity();
    member.entry.originalLength = file.Length();
    journal::AppendFile(pending, static_cast<std::uint32_t>(members.size()), member.entry);
    members.push_back(std::move(member));
    unsealed = true;
}

void Transaction::Protect(BinaryFile& file, std::uint64_t offset, std::uint64_t length) {
    RequireOpen();
    Member& member = MemberOf(file);
    const auto index = static_cast<std::uint32_t>(&member - members.data());
    const std::uint64_t end = std::min(offset + length, member.entry.originalLength);
    if (offset >= end) {
        return;
    }
    // Only the parts not protected before: old values are kept once.
    std::map<std::uint64_t, std::uint64_t>& spans = member.protectedSpans;
    std::uint64_t at = offset;
    auto next = spans.upper_bound(at);
    if (next != spans.begin() && std::prev(next)->second > at) {
        at = std::prev(next)->second;
    }
    while (at < end) {
        while (next != spans.end() && next->second <= at) {
            ++next;
        }
        const std::uint64_t stop = next == spans.end() ? end : std::min(end, next->first);
        if (stop > at) {
            ProtectSpan(index, at, stop);
        }
        if (next == spans.end()) {
            break;
        }
        at = next->second;
    }
    // Record [offset, end) as protected, merged with what it touches.
    std::uint64_t first = offset;
    std::uint64_t last = end;
    auto touch = spans.upper_bound(first);
    if (touch != spans.begin() && std::prev(touch)->second >= first) {
        --touch;
    }
    while (touch != spans.end() && touch->first <= last) {
        first = std::min(first, touch->first);
        last = std::max(last, touch->second);
        touch = spans.erase(touch);
    }
    spans.emplace(first, last);
}

void Transaction::ProtectSpan(std::uint32_t index, std::uint64_t start, std::uint64_t end) {
    Member& member = members[index];
    while (start < end) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(end - start, journal::kMaxRangeData));
        const std::size_t record = pending.BeginRecord(journal::RecordType::Range);
        pending.PutU32(index);
        pending.PutU64(start);
        std::uint8_t* data = pending.Extend(count);
        member.file->Seek(static_cast<std::int64_t>(start));
        const std::size_t got = member.file->Read(data, count);
        if (got != count) {
            pending.Shrink(pending.Size() - record);
            throw FileException(FileErrorCause::EndOfFile, member.entry.path);
        }
        pending.FinishRecord(record);
        auto& ranges = member.ranges;
        if (!ranges.empty() && ranges.back().first + ranges.back().second == start) {
            ranges.back().second += count;
        } else {
            ranges.emplace_back(start, count);
        }
        protectedBytes += count;
        unsealed = true;
        start += count;
        if (pending.Size() >= kFlushThreshold) {
            Flush();
        }
    }
}

void Transaction::Flush() {
    if (!journalFile.IsOpen()) {
        store.EnsureDirectory();
        const BinaryFile::Identity first = members.front().entry.identity;
        const std::string name = std::to_string(first.device) + "-" + std::to_string(first.inode) +
                                 "-" + std::to_string(createdNs) + "-" + std::to_string(::getpid());
        journalPath = (store.Directory() / (name + journal::kJournalSuffix)).string();
        unsealedPath = (store.Directory() / (name + journal::kUnsealedSuffix)).string();
        // Held for reading too (a rollback reads the old bytes back), and
        // under the lock from its creation: an unsealed journal nobody holds
        // is removed by whoever lists the journals.
        if (!journalFile.Open(unsealedPath, BinaryFile::Mode::CreateReadWrite)) {
            throw FileException(FileErrorCause::AccessDenied, unsealedPath);
        }
    }
    if (pending.Size() == 0) {
        return;
    }
    journalFile.Seek(static_cast<std::int64_t>(journalEnd));
    journalFile.Write(pending.Data(), pending.Size());
    journalEnd += pending.Size();
    pending.Clear();
}

void Transaction::NextSlot(JournalState journalState) {
    journalFile.Sync();
    slotIndex ^= 1;
    ++sequence;
    journal::WriteSlot(journalFile, slotIndex, journal::Slot{journalState, sequence, journalEnd});
    journalFile.Sync();
}

void Transaction::Seal() {
    RequireOpen();
    if (!unsealed) {
        return;
    }
    Flush();
    if (sealedEnd == 0) {
        // The first seal: the journal gets its name only once it is whole and
        // durable, so a journal under that name is never half written.
        slotIndex = 0;
        sequence = 1;
        journal::WriteSlot(journalFile, slotIndex,
                           journal::Slot{JournalState::Open, sequence, journalEnd});
        journalFile.Sync();
        journalFile.RenameTo(journalPath);
        sealedEnd = journalEnd;
        SyncDirectory(store.Directory().string());
    } else {
        NextSlot(JournalState::Open);
        sealedEnd = journalEnd;
    }
    unsealed = false;
}

void Transaction::Commit() {
    RequireOpen();
    if (members.empty()) {
        state = State::Committed;
        return;
    }
    Seal();
    journal::Commit result;
    for (Member& member : members) {
        const std::uint64_t newLength = member.file->Length();
        result.files.push_back(journal::FileResult{
            newLength, journal::NewBytesCrc(*member.file, member.ranges,
                                            member.entry.originalLength, newLength)});
    }
    for (Member& member : members) {
        member.file->Sync();
    }
    result.committedNs = journal::NowNs();
    journal::AppendCommit(pending, result);
    Flush();
    NextSlot(JournalState::Complete);
    state = State::Committed;
    try {
        journalFile.Close();
    } catch (const FileException&) {
        // Everything was synced; a late close report changes nothing.
    }
    store.PruneHistory();
}

void Transaction::Rollback() {
    if (state == State::RolledBack) {
        return;
    }
    if (state == State::Committed) {
        throw std::logic_error("a committed change is undone through the history");
    }
    try {
        if (sealedEnd == 0) {
            // Nothing was sealed, so no file was changed.
            if (journalFile.IsOpen()) {
                journalFile.Close();
                RemoveFile(unsealedPath);
            }
            state = State::RolledBack;
            return;
        }
        if (!journalFile.IsOpen() &&
            !journalFile.Open(journalPath, BinaryFile::Mode::ReadWriteExisting)) {
            throw FileException(FileErrorCause::AccessDenied, journalPath);
        }
        const journal::ParsedJournal parsed = journal::ReadJournal(journalFile, true);
        if (!parsed.Intact()) {
            throw JournalError("The journal " + journalPath + " cannot be used: " + parsed.damage +
                               ". It was kept.");
        }
        if (parsed.slot->state == JournalState::Complete) {
            // Commit marked it complete and failed afterwards.
            slotIndex = parsed.slotIndex;
            sequence = parsed.slot->sequence;
            journalEnd = parsed.slot->sealedEnd;
            NextSlot(JournalState::Undoing);
        }
        std::vector<BinaryFile*> files;
        for (std::size_t index = 0; index < parsed.files.size(); ++index) {
            files.push_back(members[index].file);
        }
        journal::RestoreOldBytes(journalFile, parsed, files);
        journalFile.Close();
        RemoveFile(journalPath);
        SyncDirectory(store.Directory().string());
        state = State::RolledBack;
    } catch (...) {
        state = State::Failed;
        throw;
    }
}

}  // namespace kestrel
