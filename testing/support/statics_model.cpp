#include "support/statics_model.h"

#include <algorithm>
#include <random>

namespace kestrel::test {

namespace {

std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
           std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) {
        bytes[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(value >> (8 * k));
    }
}

std::size_t EntryAt(MapGeometry geometry, int bx, int by) {
    return (static_cast<std::size_t>(bx) * static_cast<std::size_t>(geometry.height / 8) +
            static_cast<std::size_t>(by)) *
           12;
}

}  // namespace

CellStatics DecodeStatics(const Bytes& index, const Bytes& data, MapGeometry geometry) {
    CellStatics cells;
    for (int bx = 0; bx < geometry.width / 8; ++bx) {
        for (int by = 0; by < geometry.height / 8; ++by) {
            const std::size_t entry = EntryAt(geometry, bx, by);
            const std::uint32_t lookup = Get32(index, entry);
            const std::uint32_t length = Get32(index, entry + 4);
            if (lookup == 0xFFFFFFFFu) {
                continue;
            }
            for (std::uint32_t at = lookup; at < lookup + length; at += 7) {
                const int x = bx * 8 + data[at + 2];
                const int y = by * 8 + data[at + 3];
                cells[{x, y}].push_back({data[at] | data[at + 1] << 8,
                                         static_cast<std::int8_t>(data[at + 4]),
                                         data[at + 5] | data[at + 6] << 8});
            }
        }
    }
    return cells;
}

ModelPair EncodeStatics(const CellStatics& cells, MapGeometry geometry, std::uint32_t seed) {
    const int blockRows = geometry.height / 8;
    const int blocks = geometry.width / 8 * blockRows;
    std::vector<Bytes> records(static_cast<std::size_t>(blocks));
    for (const auto& [cell, statics] : cells) {
        Bytes& block =
            records[static_cast<std::size_t>(cell.first / 8 * blockRows + cell.second / 8)];
        for (const ModelStatic& item : statics) {
            const std::uint8_t bytes[7] = {static_cast<std::uint8_t>(item.tileId),
                                           static_cast<std::uint8_t>(item.tileId >> 8),
                                           static_cast<std::uint8_t>(cell.first % 8),
                                           static_cast<std::uint8_t>(cell.second % 8),
                                           static_cast<std::uint8_t>(item.z),
                                           static_cast<std::uint8_t>(item.hue),
                                           static_cast<std::uint8_t>(item.hue >> 8)};
            block.insert(block.end(), bytes, bytes + 7);
        }
    }
    std::mt19937 random(seed);
    std::vector<int> order(static_cast<std::size_t>(blocks));
    for (int block = 0; block < blocks; ++block) {
        order[static_cast<std::size_t>(block)] = block;
    }
    std::shuffle(order.begin(), order.end(), random);
    ModelPair pair;
    pair.index.assign(static_cast<std::size_t>(blocks) * 12, 0);
    for (const int block : order) {
        const std::size_t entry = static_cast<std::size_t>(block) * 12;
        const Bytes& bytes = records[static_cast<std::size_t>(block)];
        Put32(pair.index, entry + 8, static_cast<std::uint32_t>(random()));
        if (bytes.empty()) {
            // Empty blocks as various writers leave them.
            switch (random() % 3) {
                case 0:
                    Put32(pair.index, entry, 0xFFFFFFFFu);
                    Put32(pair.index, entry + 4, 0);
                    break;
                case 1:
                    Put32(pair.index, entry, 0xFFFFFFFFu);
                    Put32(pair.index, entry + 4, 0xFFFFFFFFu);
                    break;
                default:
                    Put32(pair.index, entry, static_cast<std::uint32_t>(pair.data.size()));
                    Put32(pair.index, entry + 4, 0);
                    break;
            }
            continue;
        }
        pair.data.resize(pair.data.size() + random() % 9, 0xEE);
        Put32(pair.index, entry, static_cast<std::uint32_t>(pair.data.size()));
        Put32(pair.index, entry + 4, static_cast<std::uint32_t>(bytes.size()));
        pair.data.insert(pair.data.end(), bytes.begin(), bytes.end());
    }
    return pair;
}

CellStatics RandomStatics(MapGeometry geometry, std::uint32_t seed, double chance) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int zs[] = {-128, -100, 0, 5, 100, 127};
    CellStatics cells;
    for (int x = 0; x < geometry.width; ++x) {
        for (int y = 0; y < geometry.height; ++y) {
            if ((x / 8 + y / 8) % 4 == 0 || unit(random) >= chance) {
                continue;
            }
            std::vector<ModelStatic>& statics = cells[{x, y}];
            const auto count = 1 + random() % 3;
            for (std::uint32_t k = 0; k < count; ++k) {
                statics.push_back({static_cast<int>(0x100 + random() % 3), zs[random() % 6],
                                   static_cast<int>(random() % 2 * 0x8001)});
            }
        }
    }
    return cells;
}

CellStatics ExpectedTransplant(const CellStatics& source, MapGeometry sourceGeometry,
                               CellStatics destination, MapGeometry destinationGeometry,
                               const ModelTransplant& t, ModelCounts& counts) {
    const auto inRectangle = [&](int x, int y) {
        return x >= t.minX && x <= t.maxX && y >= t.minY && y <= t.maxY &&
               x < sourceGeometry.width && y < sourceGeometry.height && x >= 0 && y >= 0;
    };
    const auto inDestination = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < destinationGeometry.width && y < destinationGeometry.height;
    };
    if (!t.add) {
        for (auto cell = destination.begin(); cell != destination.end();) {
            const int fromX = cell->first.first - t.offX + t.minX;
            const int fromY = cell->first.second - t.offY + t.minY;
            if (inRectangle(fromX, fromY)) {
                counts.removed += cell->second.size();
                cell = destination.erase(cell);
            } else {
                ++cell;
            }
        }
    }
    const CellStatics before = destination;
    for (const auto& [cell, statics] : source) {
        if (!inRectangle(cell.first, cell.second)) {
            continue;
        }
        const int toX = cell.first - t.minX + t.offX;
        const int toY = cell.second - t.minY + t.offY;
        for (ModelStatic item : statics) {
            if (!inDestination(toX, toY)) {
                ++counts.leftOut;
                continue;
            }
            int z = ((item.z + t.offZ) % 256 + 256) % 256;
            item.z = z > 127 ? z - 256 : z;
            if (t.add) {
                const auto held = before.find({toX, toY});
                if (held != before.end() && std::find(held->second.begin(), held->second.end(),
                                                      item) != held->second.end()) {
                    ++counts.duplicates;
                    continue;
                }
            }
            destination[{toX, toY}].push_back(item);
            ++counts.moved;
        }
    }
    return destination;
}

std::optional<std::string> StaticsPairProblem(const Bytes& index, const Bytes& data,
                                              MapGeometry geometry) {
    const std::size_t blocks = static_cast<std::size_t>(geometry.width / 8 * (geometry.height / 8));
    if (index.size() < blocks * 12) {
        return "index too short";
    }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> used;
    for (std::size_t block = 0; block < blocks; ++block) {
        const std::uint32_t lookup = Get32(index, block * 12);
        const std::uint32_t length = Get32(index, block * 12 + 4);
        const std::string where = "block " + std::to_string(block) + ": ";
        if (lookup == 0xFFFFFFFFu) {
            continue;
        }
        if (length == 0) {
            return where + "empty but lookup " + std::to_string(lookup);
        }
        if (length % 7 != 0 || lookup >= 0x80000000u ||
            std::uint64_t{lookup} + length > data.size()) {
            return where + "bad entry";
        }
        used.emplace_back(lookup, std::uint64_t{lookup} + length);
    }
    std::sort(used.begin(), used.end());
    std::uint64_t end = 0;
    for (const auto& [from, to] : used) {
        if (from < end) {
            return "entries overlap at byte " + std::to_string(from);
        }
        if (from > end) {
            return "unused bytes before byte " + std::to_string(from);
        }
        end = to;
    }
    if (end != data.size()) {
        return "unused bytes at the end";
    }
    return std::nullopt;
}

}  // namespace kestrel::test
