#include "bench_world.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "clientfiles/byte_order.h"
#include "clientfiles/map_file.h"
#include "clientfiles/statics_file.h"

namespace kestrel::bench {

namespace {

// xorshift64*: fast, and good enough for filler data.
class Generator {
public:
    explicit Generator(std::uint64_t seed) : state(seed | 1) {}
    std::uint64_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    }
    std::uint32_t Below(std::uint32_t bound) {
        return static_cast<std::uint32_t>((Next() >> 32) % bound);
    }

private:
    std::uint64_t state;
};

class OutputFile {
public:
    explicit OutputFile(const std::string& path)
        : path(path), file(std::fopen(path.c_str(), "wb")) {
        if (file == nullptr) {
            throw std::runtime_error("cannot create " + path);
        }
    }
    ~OutputFile() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(const std::uint8_t* bytes, std::size_t count) {
        if (std::fwrite(bytes, 1, count, file) != count) {
            throw std::runtime_error("cannot write " + path);
        }
    }
    void Close() {
        const int result = std::fclose(file);
        file = nullptr;
        if (result != 0) {
            throw std::runtime_error("cannot write " + path);
        }
    }

private:
    std::string path;
    std::FILE* file;
};

void WriteMap(const std::string& path, Generator& generator) {
    OutputFile map(path);
    std::vector<std::uint8_t> column(kMapBlockColumnBytes);
    for (int blockColumn = 0; blockColumn < kBlockColumns; ++blockColumn) {
        for (std::size_t at = 0; at < column.size(); at += 8) {
            const std::uint64_t value = generator.Next();
            for (std::size_t k = 0; k < 8; ++k) {
                column[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
            }
        }
        map.Write(column.data(), column.size());
    }
    map.Close();
}

}  // namespace

BenchWorld MakeBenchWorld(const std::string& directory, std::uint64_t seed) {
    BenchWorld world;
    world.mapPath = directory + "/map0.mul";
    world.staticsIndexPath = directory + "/staidx0.mul";
    world.staticsDataPath = directory + "/statics0.mul";
    Generator generator(seed);
    WriteMap(world.mapPath, generator);

    OutputFile index(world.staticsIndexPath);
    OutputFile data(world.staticsDataPath);
    std::uint32_t dataLength = 0;
    std::uint8_t entry[kStaticIndexEntryBytes];
    std::vector<std::uint8_t> records;
    for (int block = 0; block < kBlockColumns * kBlockRows; ++block) {
        const std::uint32_t count = generator.Below(21);
        records.resize(count * kStaticRecordBytes);
        for (std::uint32_t k = 0; k < count; ++k) {
            std::uint8_t* record = records.data() + k * kStaticRecordBytes;
            const std::uint64_t value = generator.Next();
            StoreU16Le(record, static_cast<std::uint16_t>(value & 0x3FFF));  // tile
            record[2] = static_cast<std::uint8_t>((value >> 16) & 7);        // x
            record[3] = static_cast<std::uint8_t>((value >> 20) & 7);        // y
            record[4] = static_cast<std::uint8_t>(value >> 24);              // z
            const bool hued = ((value >> 32) & 15) == 0;
            StoreU16Le(record + 5, hued ? static_cast<std::uint16_t>(value >> 40) : 0);  // hue
        }
        const auto length = static_cast<std::uint32_t>(records.size());
        StoreU32Le(entry, count == 0 ? 0xFFFFFFFFu : dataLength);
        StoreU32Le(entry + 4, count == 0 ? 0 : length);
        StoreU32Le(entry + 8, 0);
        index.Write(entry, sizeof entry);
        data.Write(records.data(), records.size());
        dataLength += length;
        world.items += count;
    }
    index.Close();
    data.Close();
    return world;
}

}  // namespace kestrel::bench
