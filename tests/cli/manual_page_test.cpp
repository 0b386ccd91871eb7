#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "cli/cli_app.h"
#include "support/temp_dir.h"

namespace kestrel {
namespace {

// The manual page as it reads, with roff's escaped hyphens ("\-") plain.
std::string ManualText() {
    std::string text = test::ReadText(KESTREL_SOURCE_DIR "/docs/kestrel-cli.1");
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

}  // namespace
}  // namespace kestrel
