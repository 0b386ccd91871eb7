#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clientfiles/file_exception.h"
#include "operations/map_region_copy.h"
#include "operations/settings_exchange.h"
#include "operations/statics_export.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

// The guide's text with every run of white space folded into one blank, so
// that a message broken across source lines is still found.
std::string GuideText() {
    const std::string html = test::ReadText(KESTREL_SOURCE_DIR "/docs/help_index.html");
    std::string text;
    for (const char c : html) {
        const bool blank = c == ' ' || c == '\n' || c == '\t' || c == '\r';
        if (!blank) {
            text += c;
        } else if (!text.empty() && text.back() != ' ') {
            text += ' ';
        }
    }
    return text;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(UserGuideTest, HasTheAnchorsThatF1Opens) {
    const std::string guide = GuideText();
    EXPECT_NE(guide.find("id=\"main-dialog\""), std::string::npos);
    EXPECT_NE(guide.find("id=\"about-box\""), std::string::npos);
}

TEST(UserGuideTest, ExplainsEveryMessageTheProgramCanShow) {
    std::vector<std::string> messages = {
        kCannotOpenSourceMap,
        kCannotOpenDestMap,
        kSourceMapTooShort,
        kCannotOpenStaticsIndex,
        kCannotOpenStaticsData,
        kCannotOpenItems,
        kStaticsIndexTooShort,
        Replace(Replace(BadStaticsEntryMessage(11111, 22222), "11111", "BX"), "22222", "BY"),
        kIntegerSyntaxMessage,
        Replace(Replace(IntegerRangeMessage({11111, 22222}), "11111", "%1"), "22222", "%2"),
        "Out of memory.",
        "Failed to launch help.",
    };
    for (const SettingsField field : kExchangeOrder) {
        if (IsIntegerField(field)) {
            messages.push_back(IntegerRangeMessage(RangeOf(field)));
        }
    }
    for (int cause = int(FileErrorCause::Generic); cause <= int(FileErrorCause::EndOfFile);
         ++cause) {
        messages.push_back(FileErrorText(FileErrorCause(cause), "%1"));
    }
    const std::string guide = GuideText();
    for (const std::string& message : messages) {
        EXPECT_NE(guide.find(message), std::string::npos) << "not in the guide: " << message;
    }
}

}  // namespace
}  // namespace kestrel
