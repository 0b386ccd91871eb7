#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "cli/cli_app.h"
#include "operations/settings_exchange.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

// The manual page as it reads, with roff's escaped hyphens ("\-") plain.
std::string ManualText() {
    std::string text = test::ReadText(KESTREL_MANUAL_FILE);
    for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) {
        text.erase(at, 1);
    }
    return text;
}

std::string HelpOf(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCli(arguments, out, err), 0) << err.str();
    return out.str();
}

TEST(ManualPageTest, DocumentsEveryCommandAndEveryOptionThatTheHelpLists) {
    const std::string manual = ManualText();
    const std::string usage = HelpOf({"--help"});
    const std::regex commandLine("\n  ([a-z][a-z-]+)  ");
    std::set<std::string> commands;
    for (auto it = std::sregex_iterator(usage.begin(), usage.end(), commandLine);
         it != std::sregex_iterator(); ++it) {
        commands.insert((*it)[1]);
    }
    ASSERT_GE(commands.size(), 3u) << usage;

    const std::regex option("--[a-z][a-z-]*");
    for (const std::string& command : commands) {
        EXPECT_NE(manual.find(".B " + command), std::string::npos) << command;
        const std::string help = HelpOf({command, "--help"});
        for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
             it != std::sregex_iterator(); ++it) {
            EXPECT_NE(manual.find(it->str()), std::string::npos)
                << command << " " << it->str() << " is not in the manual page";
        }
    }
    EXPECT_NE(manual.find(".SH EXIT STATUS"), std::string::npos);
}

TEST(ManualPageTest, NamesTheVersionThatTheProgramReports) {
    const std::string manual = ManualText();
    const std::string version = HelpOf({"--version"});  // "kestrel-cli VERSION\n"
    const std::string number = version.substr(version.find(' ') + 1, version.size() - 13);
    EXPECT_TRUE(std::regex_search(
        manual, std::regex("^\\.TH KESTREL-CLI 1 \"(January|February|March|April|May|June|July|"
                           "August|September|October|November|December) [0-9]{4}\" ")))
        << manual.substr(0, manual.find('\n'));
    EXPECT_NE(manual.find("\"Kestrel " + number + "\""), std::string::npos) << number;
}

// Every field of the settings has its entry under OPTIONS, with the value it
// takes, its range and its default, and the numbers are listed in the order
// in which they are checked.
TEST(ManualPageTest, DescribesEverySettingsFieldWithItsRangeAndDefault) {
    const std::string manual = ManualText();
    const CopySettings defaults;
    for (const FieldDescription& field : kSettingsFields) {
        SCOPED_TRACE(std::string(field.option));
        const bool number = field.number != nullptr;
        const std::string heading =
            ".BI " + std::string(field.option) + (number ? " \" N\"" : " \" PATH\"");
        const std::size_t start = manual.find(heading);
        ASSERT_NE(start, std::string::npos) << "no entry " << heading;
        const std::size_t end = std::min(manual.find("\n.TP", start), manual.find("\n.PP", start));
        const std::string entry = manual.substr(start, end - start);
        if (number) {
            EXPECT_NE(entry.find(std::to_string(field.range.minimum) + " to " +
                                 std::to_string(field.range.maximum)),
                      std::string::npos)
                << entry;
        }
        std::string shownDefault = FieldText(defaults, field.field);
        for (std::size_t at = shownDefault.find('\\'); at != std::string::npos;
             at = shownDefault.find('\\', at)) {
            shownDefault.replace(at, 1, "\\(rs");
            at += 4;
        }
        EXPECT_NE(entry.find("[" + shownDefault), std::string::npos) << entry;
    }

    const std::size_t order = manual.find("The values are checked in the order");
    ASSERT_NE(order, std::string::npos);
    const std::string sentence = manual.substr(order, manual.find('.', order + 40) - order);
    std::size_t previous = 0;
    for (const SettingsField field : kExchangeOrder) {
        const FieldDescription& description = DescriptionOf(field);
        if (description.number == nullptr) {
            continue;
        }
        const std::size_t at = sentence.find(std::string(description.option.substr(2)));
        ASSERT_NE(at, std::string::npos) << description.option << " in: " << sentence;
        EXPECT_GT(at, previous) << description.option << " out of order in: " << sentence;
        previous = at;
    }
}

}  // namespace
}  // namespace kestrel
