#include "clientfiles/static_index_bands.h"

#include <algorithm>

#include "clientfiles/file_exception.h"

namespace kestrel {

namespace {

constexpr std::size_t kBandBytes = std::size_t{1} << 20;

}  // namespace

StaticIndexBands::StaticIndexBands(BinaryFile& index, int firstBx, int lastBx, int firstBy,
                                   int lastBy, const MapGeometry& geometry)
    : index(index), geometry(geometry), firstBx(firstBx), lastBy(lastBy), columns(std::max(1, lastBx - firstBx + 1)) {
    const auto columnCount = static_cast<std::size_t>(columns);
    const auto rows = static_cast<std::size_t>(std::max(1, lastBy - firstBy + 1));
    const std::size_t fitting = kBandBytes / (columnCount * kStaticIndexEntryBytes);
    bandRows = static_cast<int>(std::clamp<std::size_t>(fitting, 1, rows));
    bytes.resize(columnCount * static_cast<std::size_t>(bandRows) * kStaticIndexEntryBytes);
}

void StaticIndexBands::LoadBand(int by) {
    bandFirst = by;
    bandLast = std::min(lastBy, by + bandRows - 1);
    const std::size_t columnBytes = static_cast<std::size_t>(bandRows) * kStaticIndexEntryBytes;
    const std::size_t wanted =
        static_cast<std::size_t>(bandLast - bandFirst + 1) * kStaticIndexEntryBytes;
    for (int column = 0; column < columns; ++column) {
        index.Seek(geometry.BlockNumber(firstBx + column, bandFirst) * kStaticIndexEntryBytes);
        if (index.Read(bytes.data() + static_cast<std::size_t>(column) * columnBytes, wanted) !=
            wanted) {
            bandLast = -1;
            throw FileException(FileErrorCause::EndOfFile, std::string());
        }
    }
}

StaticIndexEntry StaticIndexBands::Read(int bx, int by) {
    if (by < bandFirst || by > bandLast) {
        LoadBand(by);
    }
    return DecodeStaticIndexEntry(Peek(bx, by));
}

const std::uint8_t* StaticIndexBands::Peek(int bx, int by) const {
    if (by < bandFirst || by > bandLast || bx < firstBx || bx - firstBx >= columns) {
        return nullptr;
    }
    const auto column = static_cast<std::size_t>(bx - firstBx);
    const std::size_t at = static_cast<std::size_t>(by - bandFirst) * kStaticIndexEntryBytes;
    return bytes.data() + column * static_cast<std::size_t>(bandRows) * kStaticIndexEntryBytes + at;
}

}  // namespace kestrel
