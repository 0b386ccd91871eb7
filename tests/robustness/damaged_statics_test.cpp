// Statics files damaged in every way the index and data can be: each gives
// the export's defined result or its message, never garbage sections, and a
// refused export leaves the old script alone.

#include <gtest/gtest.h>

#include <climits>

#include "clientfiles/byte_order.h"
#include "clientfiles/statics_file.h"
#include "operations/statics_export.h"
#include "support/recording_ui.h"
#include "support/statics_fixture.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::AppendStaticRecord;
using test::Bytes;
using test::ReadBytes;
using test::ReadText;
using test::RecordingUi;
using test::TempDir;
using test::WorldItemSection;
using test::WriteBytes;
using test::WriteText;
using Events = std::vector<std::string>;

Bytes Record(std::uint16_t tileId, std::uint8_t x, std::uint8_t y) {
    Bytes record;
    AppendStaticRecord(record, tileId, x, y);
    return record;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Entry {
    int bx, by;
    std::int32_t lookup;
    std::uint32_t length;
};

// An index of blocks entries, all without statics but those given.
Bytes Index(std::size_t blocks, const std::vector<Entry>& entries) {
    Bytes index(blocks * kStaticIndexEntryBytes, 0xFF);
    for (const Entry& entry : entries) {
        const auto at = static_cast<std::size_t>(StaticIndexOffset(entry.bx, entry.by));
        StoreU32Le(index.data() + at, static_cast<std::uint32_t>(entry.lookup));
        StoreU32Le(index.data() + at + 4, entry.length);
        StoreU32Le(index.data() + at + 8, 0);
    }
    return index;
}

struct Item {
    int tileId, x, y;  // x and y as written: no offsets are set
};

std::string Script(const std::vector<Item>& items) {
    std::string script;
    for (std::size_t number = 0; number < items.size(); ++number) {
        script += WorldItemSection(static_cast<int>(number), items[number].tileId, items[number].x,
                                   items[number].y, 0, 0);
    }
    return script;
}

const Bytes kData = Record(600, 1, 1) + Record(601, 2, 2) + Record(602, 3, 3);  // 21 bytes
constexpr std::size_t kThreeColumns = 3 * kBlockRows;
constexpr std::size_t kWholeMap = std::size_t{kBlockColumns} * kBlockRows;

// A rectangle of cells: minX, maxX, minY, maxY.
struct Rectangle {
    int minX, maxX, minY, maxY;
};
constexpr Rectangle kBlock00 = {0, 7, 0, 7};
constexpr Rectangle kThreeByTwo = {0, 23, 0, 15};

// What the export does: refuse with message, or (message empty) write the
// sections.
struct Expected {
    std::string message;
    std::vector<Item> sections;
};
Expected Refused(std::string message) {
    return {std::move(message), {}};
}
Expected Writes(std::vector<Item> sections) {
    return {"", std::move(sections)};
}

struct DamageCase {
    const char* what;
    Rectangle rectangle;
    Bytes index;
    Bytes data;
    Expected expected;
};

// An index of three block columns whose block (0, 0) has the given entry.
Bytes First(std::int32_t lookup, std::uint32_t length) {
    return Index(kThreeColumns, {{0, 0, lookup, length}});
}

std::vector<DamageCase> Cases() {
    const Expected tooShort = Refused(kStaticsIndexTooShort);
    const Expected bad = Refused(BadStaticsEntryMessage(0, 0));
    const Expected none = Writes({});
    Bytes endsInsideEntry = Index(kThreeColumns, {{2, 1, 0, 7}});
    endsInsideEntry.resize(static_cast<std::size_t>(StaticIndexOffset(2, 1)) + 11);
    Bytes endsAfterEntry = Index(kThreeColumns, {{2, 1, 0, 7}});
    endsAfterEntry.resize(static_cast<std::size_t>(StaticIndexOffset(2, 1)) + 12);
    const Bytes far = Record(700, 255, 255) + Record(701, 255, 0) + Record(702, 7, 7);
    const Bytes goodThenBad = Index(kThreeColumns, {{0, 0, 0, 21}, {1, 0, 0, 7}, {0, 1, 7, 15}});
    const Bytes farIndex = Index(32 * kBlockRows, {{0, 0, 0, 21}});
    const Bytes lastIndex = Index(kWholeMap, {{767, 511, 0, 21}});
    const Rectangle twoByTwo = {0, 15, 0, 15};
    const Rectangle far255 = {0, 255, 0, 254};
    const Rectangle lastBlock = {6136, 6143, 4088, 4095};
    const Expected third = Writes({{602, 3, 3}});
    const Expected lastTwo = Writes({{601, 2, 2}, {602, 3, 3}});
    const Expected badSecondRow = Refused(BadStaticsEntryMessage(0, 1));
    const Item last = {702, 7, 7};
    return {
        {"index ends inside the last entry needed", kThreeByTwo, endsInsideEntry, kData, tooShort},
        {"index ends right after it", kThreeByTwo, endsAfterEntry, kData, Writes({{600, 17, 9}})},
        {"index shorter than one entry", kBlock00, Bytes{0, 0, 0, 0, 7}, kData, tooShort},
        {"lookup -2, length 0", kBlock00, First(-2, 0), kData, none},
        {"the lowest lookup, length 7", kBlock00, First(INT_MIN, 7), kData, bad},
        {"lookup at the end of the data, length 0", kBlock00, First(21, 0), kData, none},
        {"lookup far past the end, length 0", kBlock00, First(1000000, 0), kData, none},
        {"lookup -1 with the largest length", kBlock00, First(-1, UINT_MAX), kData, none},
        {"length 1, a whole record follows", kBlock00, First(14, 1), kData, third},
        {"length 1, one byte left", kBlock00, First(20, 1), kData, bad},
        {"length 7, ending with the data", kBlock00, First(14, 7), kData, third},
        {"length 10, both records whole", kBlock00, First(7, 10), kData, lastTwo},
        {"length 10, second record past the end", kBlock00, First(14, 10), kData, bad},
        {"largest length after largest lookup", kBlock00, First(INT_MAX, UINT_MAX), kData, bad},
        {"a length that rounds up past 2^32", kBlock00, First(0, UINT_MAX - 5), kData, bad},
        {"bad entry after good ones", twoByTwo, goodThenBad, kData, badSecondRow},
        {"x, y of 255 reach outside", far255, farIndex, far, Writes({{701, 255, 0}, last})},
        {"x, y of 255 in the last block: off the map", lastBlock, lastIndex, far, Writes({last})},
        {"empty data, index without statics", kThreeByTwo, Index(kThreeColumns, {}), {}, none},
        {"index and data swapped, small rectangle", kBlock00, kData, First(0, 21), bad},
        {"index and data swapped, larger rectangle", kThreeByTwo, kData, First(0, 21), tooShort},
    };
}

TEST(DamagedStaticsTest, EachDamageGivesItsDefinedResultOrItsMessage) {
    TempDir dir;
    CopySettings settings;
    settings.staticsIndexPath = dir.File("staidx0.mul");
    settings.staticsDataPath = dir.File("statics0.mul");
    settings.itemsPath = dir.File("items.wsc");
    for (const DamageCase& row : Cases()) {
        SCOPED_TRACE(row.what);
        settings.minX = row.rectangle.minX;
        settings.maxX = row.rectangle.maxX;
        settings.minY = row.rectangle.minY;
        settings.maxY = row.rectangle.maxY;
        WriteBytes(settings.staticsIndexPath, row.index);
        WriteBytes(settings.staticsDataPath, row.data);
        WriteText(settings.itemsPath, "old script");
        RecordingUi ui;
        ExportStatics(settings, ui);
        if (row.expected.message.empty()) {
            EXPECT_EQ(ui.events, (Events{"begin", "end"}));
            EXPECT_EQ(ReadText(settings.itemsPath), Script(row.expected.sections));
        } else {
            EXPECT_EQ(ui.events, (Events{"begin", "end", "message: " + row.expected.message}));
            EXPECT_EQ(ReadText(settings.itemsPath), "old script");
        }
        EXPECT_EQ(ReadBytes(settings.staticsIndexPath), row.index);
        EXPECT_EQ(ReadBytes(settings.staticsDataPath), row.data);
    }
}

}  // namespace
}  // namespace kestrel
