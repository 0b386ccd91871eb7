#include "oracles/world_item_writer.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace kestrel {
namespace {

using test::ReadText;
using test::TempDir;

class WorldItemWriterTest : public ::testing::Test {
protected:
    std::string Written(int x, int y, int z, int tileId, int hue, int index) {
        BinaryFile items;
        EXPECT_TRUE(items.Open(path, BinaryFile::Mode::CreateTruncate));
        WriteWorldItem(items, x, y, z, tileId, hue, index);
        items.Close();
        return ReadText(path);
    }

    TempDir dir;
    std::string path = dir.File("items.wsc");
};

TEST_F(WorldItemWriterTest, ASectionIsTenCrLfLinesWithTheIdBeforeTheCoordinates) {
    const std::string section = Written(100, 200, -5, 600, 0, 0);
    EXPECT_EQ(section,
              "SECTION WORLDITEM 0\r\n{\r\nSERIAL 1073741824\r\nID 600\r\nX 100\r\nY 200\r\n"
              "Z -5\r\nTYPE 255\r\nCOLOR 0\r\n}\r\n");
    EXPECT_EQ(section.size(), 93u);
}

TEST_F(WorldItemWriterTest, ValuesAreWrittenInPlainSignedDecimal) {
    const struct {
        int x, y, z, tileId, hue, index;
        const char* text;
    } cases[] = {
        {0, 0, 0, 0, 0, 7,
         "SECTION WORLDITEM 7\r\n{\r\nSERIAL 1073741831\r\nID 0\r\nX 0\r\nY 0\r\nZ 0\r\n"
         "TYPE 255\r\nCOLOR 0\r\n}\r\n"},
        {12286, 8190, -384, 65535, 65535, 12,
         "SECTION WORLDITEM 12\r\n{\r\nSERIAL 1073741836\r\nID 65535\r\nX 12286\r\n"
         "Y 8190\r\nZ -384\r\nTYPE 255\r\nCOLOR 65535\r\n}\r\n"},
        {6143, 4095, 383, 1, 2, 1073741823,
         "SECTION WORLDITEM 1073741823\r\n{\r\nSERIAL 2147483647\r\nID 1\r\nX 6143\r\n"
         "Y 4095\r\nZ 383\r\nTYPE 255\r\nCOLOR 2\r\n}\r\n"},
        // The serial wraps around in 32 bits once the index reaches 2^30.
        {1, 1, 1, 1, 1, 1073741824,
         "SECTION WORLDITEM 1073741824\r\n{\r\nSERIAL -2147483648\r\nID 1\r\nX 1\r\nY 1\r\n"
         "Z 1\r\nTYPE 255\r\nCOLOR 1\r\n}\r\n"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Written(row.x, row.y, row.z, row.tileId, row.hue, row.index), row.text);
    }
}

TEST_F(WorldItemWriterTest, SectionsFollowOneAnotherWithNothingBetween) {
    BinaryFile items;
    ASSERT_TRUE(items.Open(path, BinaryFile::Mode::CreateTruncate));
    WriteWorldItem(items, 1, 2, 3, 4, 5, 0);
    WriteWorldItem(items, 6, 7, 8, 9, 10, 1);
    items.Close();
    const std::string text = ReadText(path);
    EXPECT_NE(text.find("COLOR 5\r\n}\r\nSECTION WORLDITEM 1\r\n{\r\nSERIAL 1073741825\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.size(), 86u + 87u);  // 70 fixed bytes each, and their digits
}

}  // namespace
}  // namespace kestrel
