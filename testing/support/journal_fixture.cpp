#include "support/journal_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>

#include "clientfiles/transaction.h"

namespace kestrel::test {

Bytes Pattern(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

Bytes Patched(Bytes bytes, const Rounds& rounds, std::size_t file) {
    for (const std::vector<Batch>& round : rounds) {
        for (const Patch& patch : round[file]) {
            const std::size_t end = static_cast<std::size_t>(patch.offset) + patch.bytes.size();
            if (bytes.size() < end) {
                bytes.resize(end);
            }
            std::copy(patch.bytes.begin(), patch.bytes.end(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(patch.offset));
        }
    }
    return bytes;
}

void ChangeFiles(const JournalStore& store, const std::vector<std::string>& paths,
                 const Rounds& rounds, const std::string& summary, Ending ending) {
    std::vector<std::unique_ptr<BinaryFile>> files;
    for (const std::string& path : paths) {
        files.push_back(std::make_unique<BinaryFile>());
        if (!files.back()->Open(path, BinaryFile::Mode::ReadWriteExisting)) {
            throw std::runtime_error("cannot open " + path);
        }
    }
    Transaction change(store, ChangeDescription{"test-change", summary, CellRectangle{1, 2, 3, 4}});
    for (const std::vector<Batch>& round : rounds) {
        for (std::size_t file = 0; file < files.size(); ++file) {
            change.AddFile(*files[file]);
            for (const Patch& patch : round[file]) {
                change.Protect(*files[file], patch.offset, patch.bytes.size());
            }
        }
        change.Seal();
        for (std::size_t file = 0; file < files.size(); ++file) {
            for (const Patch& patch : round[file]) {
                files[file]->Seek(static_cast<std::int64_t>(patch.offset));
                files[file]->Write(patch.bytes.data(), patch.bytes.size());
            }
        }
    }
    if (ending == Ending::Commit) {
        change.Commit();
    } else if (ending == Ending::ExitProcess) {
        ::_exit(0);
    }
}

std::vector<std::string> JournalNames(const JournalStore& store) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(store.Directory(), error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace kestrel::test
