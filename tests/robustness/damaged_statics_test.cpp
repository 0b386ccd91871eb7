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

struct DamageCase {
    const char* what;
    int minX, maxX, minY, maxY;
    Bytes index;
    Bytes data;
    std::string message;         // empty: the export goes through
    std::vector<Item> sections;  // what it writes then
};

std::vector<DamageCase> Cases() {
    const std::string tooShort = kStaticsIndexTooShort;
    const std::string badFirst = BadStaticsEntryMessage(0, 0);
    Bytes endsInsideEntry = Index(kThreeColumns, {{2, 1, 0, 7}});
    endsInsideEntry.resize(static_cast<std::size_t>(StaticIndexOffset(2, 1)) + 11);
    Bytes endsAfterEntry = Index(kThreeColumns, {{2, 1, 0, 7}});
    endsAfterEntry.resize(static_cast<std::size_t>(StaticIndexOffset(2, 1)) + 12);
    const Bytes farData = Record(700, 255, 255) + Record(701, 255, 0) + Record(702, 7, 7);
    return {
        {"an index that ends inside the last entry needed",
         0,
         23,
         0,
         15,
         endsInsideEntry,
         kData,
         tooShort,
         {}},
        {"an index that ends right after it",
         0,
         23,
         0,
         15,
         endsAfterEntry,
         kData,
         "",
         {{600, 17, 9}}},
        {"an index shorter than one entry", 0, 7, 0, 7, Bytes{0, 0, 0, 0, 7}, kData, tooShort, {}},
        {"lookup -2 with length 0",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, -2, 0}}),
         kData,
         "",
         {}},
        {"the lowest lookup with length 7",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, INT_MIN, 7}}),
         kData,
         badFirst,
         {}},
        {"lookup at the end of the data with length 0",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, 21, 0}}),
         kData,
         "",
         {}},
        {"lookup far past the end with length 0",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, 1000000, 0}}),
         kData,
         "",
         {}},
        {"lookup -1 with the largest length",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, -1, UINT_MAX}}),
         kData,
         "",
         {}},
        {"length 1 where a whole record follows",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, 14, 1}}),
         kData,
         "",
         {{602, 3, 3}}},
        {"length 1 where one byte is left",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, 20, 1}}),
         kData,
         badFirst,
         {}},
        {"length 7 ending at the end of the data",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, 14, 7}}),
         kData,
         "",
         {{602, 3, 3}}},
        {"length 10 with its second record whole",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, 7, 10}}),
         kData,
         "",
         {{601, 2, 2}, {602, 3, 3}}},
        {"length 10 with its second record past the end",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, 14, 10}}),
         kData,
         badFirst,
         {}},
        {"the largest length after the largest lookup",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, INT_MAX, UINT_MAX}}),
         kData,
         badFirst,
         {}},
        {"a length that rounds up past 2^32",
         0,
         7,
         0,
         7,
         Index(kThreeColumns, {{0, 0, 0, UINT_MAX - 5}}),
         kData,
         badFirst,
         {}},
        {"a bad entry after good ones is found before anything is written",
         0,
         15,
         0,
         15,
         Index(kThreeColumns, {{0, 0, 0, 21}, {1, 0, 0, 7}, {0, 1, 7, 15}}),
         kData,
         BadStaticsEntryMessage(0, 1),
         {}},
        {"x and y of 255 reach far outside their block",
         0,
         255,
         0,
         254,
         Index(32 * kBlockRows, {{0, 0, 0, 21}}),
         farData,
         "",
         {{701, 255, 0}, {702, 7, 7}}},
        {"x and y of 255 in the last block lie off the map",
         6136,
         6143,
         4088,
         4095,
         Index(kWholeMap, {{767, 511, 0, 21}}),
         farData,
         "",
         {{702, 7, 7}}},
        {"an empty data file behind an index without statics",
         0,
         23,
         0,
         15,
         Index(kThreeColumns, {}),
         Bytes{},
         "",
         {}},
        {"index and data swapped, a small rectangle",
         0,
         7,
         0,
         7,
         kData,
         Index(kThreeColumns, {{0, 0, 0, 21}}),
         badFirst,
         {}},
        {"index and data swapped, a larger rectangle",
         0,
         23,
         0,
         15,
         kData,
         Index(kThreeColumns, {{0, 0, 0, 21}}),
         tooShort,
         {}},
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
        settings.minX = row.minX;
        settings.maxX = row.maxX;
        settings.minY = row.minY;
        settings.maxY = row.maxY;
        WriteBytes(settings.staticsIndexPath, row.index);
        WriteBytes(settings.staticsDataPath, row.data);
        WriteText(settings.itemsPath, "old script");
        RecordingUi ui;
        ExportStatics(settings, ui);
        if (row.message.empty()) {
            EXPECT_EQ(ui.events, (Events{"begin", "end"}));
            EXPECT_EQ(ReadText(settings.itemsPath), Script(row.sections));
        } else {
            EXPECT_EQ(ui.events, (Events{"begin", "end", "message: " + row.message}));
            EXPECT_EQ(ReadText(settings.itemsPath), "old script");
        }
        EXPECT_EQ(ReadBytes(settings.staticsIndexPath), row.index);
        EXPECT_EQ(ReadBytes(settings.staticsDataPath), row.data);
    }
}

}  // namespace
}  // namespace kestrel
