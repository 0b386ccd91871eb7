#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clientfiles/binary_file.h"
#include "clientfiles/journal_store.h"
#include "support/temp_dir.h"

namespace kestrel::test {

// New bytes for one place of a file.
struct Patch {
    std::uint64_t offset = 0;
    Bytes bytes;
};
// Patches protected and sealed together, then written.
using Batch = std::vector<Patch>;
// Batches for each file of a change, by file: batches[round][file].
using Rounds = std::vector<std::vector<Batch>>;

// size bytes that differ from seed to seed.
Bytes Pattern(std::size_t size, std::uint32_t seed);

// bytes with the patches of every round for file applied.
Bytes Patched(Bytes bytes, const Rounds& rounds, std::size_t file);

// How ChangeFiles ends the change once every round is written.
enum class Ending {
    Commit,
    Drop,         // the transaction is destroyed open: it rolls back
    ExitProcess,  // _exit(0) with the change open, as if the program died
};

// Opens paths and changes them in one transaction of store: each round's
// patches are protected, sealed and written, then the change ends as told.
// Throws what the transaction or a write throws.
void ChangeFiles(const JournalStore& store, const std::vector<std::string>& paths,
                 const Rounds& rounds, const std::string& summary, Ending ending = Ending::Commit);

// The names of the journal files of store's directory.
std::vector<std::string> JournalNames(const JournalStore& store);

}  // namespace kestrel::test
