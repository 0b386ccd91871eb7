#include "operations/settings_exchange.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(CopySettingsTest, ANewRecordHoldsTheCompiledInDefaults) {
    const CopySettings settings;
    EXPECT_EQ(settings.sourceMapPath, "e:\\ultimaonline\\map0.mul");
    EXPECT_EQ(settings.staticsIndexPath, "e:\\ultimaonline\\staidx0.mul");
    EXPECT_EQ(settings.staticsDataPath, "e:\\ultimaonline\\statics0.mul");
    EXPECT_EQ(settings.destMapPath, settings.sourceMapPath);
    EXPECT_EQ(settings.itemsPath, "items.wsc");
    EXPECT_EQ(settings.maxX, 10);
    EXPECT_EQ(settings.maxY, 10);
    for (const int value :
         {settings.minX, settings.minY, settings.offX, settings.offY, settings.offZ}) {
        EXPECT_EQ(value, 0);
    }
}

TEST(ParseIntegerTest, AcceptsSignedDecimalsWithBlanksAround) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"42", 42},
        {"  42  ", 42},
        {"\t42\t", 42},
        {"+7", 7},
        {"007", 7},
        {"0", 0},
        {"-0005", -5},
        {"-256", -256},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(ParseInteger(row.text), std::optional<std::int32_t>(row.value))
            << '"' << row.text << '"';
    }
}

TEST(ParseIntegerTest, RejectsWhatIsNotAPlainInteger) {
    for (const char* text : {"", "   ", "-0", "+0", "-", "+", "- 5", "12abc", "1 2", "0x10", "1e3",
                             "3.5", "abc", "0abc", "++1", "\n1"}) {
        EXPECT_EQ(ParseInteger(text), std::nullopt) << '"' << text << '"';
    }
}

TEST(ParseIntegerTest, LooksOnlyAtTheFirstThirtyOneCharacters) {
    EXPECT_EQ(ParseInteger(std::string(29, ' ') + "12xyz"), 12);
    EXPECT_EQ(ParseInteger(std::string(30, ' ') + "12"), 1);
    EXPECT_EQ(ParseInteger(std::string(31, ' ') + "7"), std::nullopt);
}

TEST(StoreFieldTest, EachNumberFieldAcceptsItsBoundsAndRejectsBeyondThemWithThem) {
    const struct {
        SettingsField field;
        const char* below;
        const char* lowest;
        const char* highest;
        const char* above;
        const char* message;
    } cases[] = {
        {SettingsField::MaxX, "-1", "0", "6143", "6144",
         "Please enter an integer between 0 and 6143."},
        {SettingsField::MinX, "-1", "0", "6143", "6144",
         "Please enter an integer between 0 and 6143."},
        {SettingsField::OffX, "-1", "0", "6143", "6144",
         "Please enter an integer between 0 and 6143."},
        {SettingsField::MaxY, "-1", "0", "4095", "4096",
         "Please enter an integer between 0 and 4095."},
        {SettingsField::MinY, "-1", "0", "4095", "4096",
         "Please enter an integer between 0 and 4095."},
        {SettingsField::OffY, "-1", "0", "4095", "4096",
         "Please enter an integer between 0 and 4095."},
        {SettingsField::OffZ, "-257", "-256", "256", "257",
         "Please enter an integer between -256 and 256."},
    };
    for (const auto& row : cases) {
        CopySettings settings;
        EXPECT_EQ(StoreField(settings, row.field, row.lowest), std::nullopt);
        EXPECT_EQ(FieldText(settings, row.field), row.lowest);
        EXPECT_EQ(StoreField(settings, row.field, row.highest), std::nullopt);
        EXPECT_EQ(FieldText(settings, row.field), row.highest);
        EXPECT_EQ(StoreField(settings, row.field, row.below), std::string(row.message));
        EXPECT_EQ(StoreField(settings, row.field, row.above), std::string(row.message));
        EXPECT_EQ(StoreField(settings, row.field, "99999999999"), std::string(row.message))
            << "a number past 32 bits is a range error, not a syntax error";
    }
}

TEST(StoreFieldTest, ASyntaxRejectionKeepsTheOldValueAndARangeRejectionStoresTheNewOne) {
    CopySettings settings;
    EXPECT_EQ(StoreField(settings, SettingsField::MaxX, "12abc"),
              std::string("Please enter an integer."));
    EXPECT_EQ(settings.maxX, 10);
    ASSERT_TRUE(StoreField(settings, SettingsField::MaxX, "6144"));
    EXPECT_EQ(settings.maxX, 6144);
}

TEST(StoreFieldTest, PathsAreTakenWholeAndUntrimmed) {
    CopySettings settings;
    EXPECT_EQ(StoreField(settings, SettingsField::ItemsPath, "  a b\\c.wsc "), std::nullopt);
    EXPECT_EQ(settings.itemsPath, "  a b\\c.wsc ");
    EXPECT_EQ(StoreField(settings, SettingsField::SourceMapPath, ""), std::nullopt);
    EXPECT_EQ(settings.sourceMapPath, "");
}

TEST(StoreFieldTest, AMinimumAboveItsMaximumPasses) {
    CopySettings settings;
    EXPECT_EQ(StoreField(settings, SettingsField::MinX, "6"), std::nullopt);
    EXPECT_EQ(StoreField(settings, SettingsField::MaxX, "5"), std::nullopt);
}

}  // namespace
}  // namespace kestrel
