// The manual pages against the programs' own --help: every option and command a program lists is
// in its page, and each page renders without warnings.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "StationTestSupport.h"

namespace fs = std::filesystem;
using stationtest::Program;

namespace {

// The page's source with roff's escaped hyphens as plain ones.
std::string PageText(const std::string& page)
{
    std::ifstream in(fs::path(QUINTAR_BUILD_DIR) / "share/man/man1" / page);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (std::size_t at; (at = text.find("\\-")) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

std::string Help(const std::string& program, QStringList arguments)
{
    Program p(program, arguments);
    EXPECT_TRUE(p.Run());
    EXPECT_EQ(p.ExitStatus(), 0) << p.Err();
    return p.Out();
}

// Options as the usage texts write them: "--name", "-x", "-EDM".
std::set<std::string> Options(const std::string& help)
{
    std::set<std::string> found;
    const std::regex option(R"((?:^|[\s\[|,(])(--?[A-Za-z][A-Za-z0-9-]*))");
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it)
        found.insert((*it)[1].str());
    return found;
}

struct Page {
    const char* program;
    QStringList arguments;
    const char* page;
};

const Page kPages[] = {
    {QUINTAR_PROGRAM, {"--help"}, "quintar.1"},
    {QUINTAR_PROGRAM, {"setup", "--help"}, "quintar-setup.1"},
    {RADIOSIM_PROGRAM, {"--help"}, "quintar-radiosim.1"},
    {QUINTAR_LINK_PROGRAM, {"--help"}, "quintar-link.1"},
};

TEST(ManualPages, nameEveryOptionTheProgramsHelpLists)
{
    for (const Page& p : kPages) {
        SCOPED_TRACE(p.page);
        const std::string help = Help(p.program, p.arguments);
        const std::string page = PageText(p.page);
        ASSERT_FALSE(page.empty());
        const std::set<std::string> options = Options(help);
        EXPECT_GE(options.size(), 2u) << help;
        for (const std::string& o : options)
            EXPECT_NE(page.find(o), std::string::npos) << o << " is in --help but not in the page";
    }
}

TEST(ManualPages, setupPageNamesEveryCommandAndSetting)
{
    const std::string help = Help(QUINTAR_PROGRAM, {"setup", "--help"});
    const std::string page = PageText("quintar-setup.1");
    const std::regex command(R"(^  (show|set [a-z-]+|user [a-z]+))");
    std::set<std::string> commands;
    std::istringstream lines(help);
    std::smatch match;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, match, command))
            commands.insert(match[1].str());
    EXPECT_GE(commands.size(), 10u) << help;
    for (const std::string& c : commands)
        EXPECT_NE(page.find(c), std::string::npos) << c << " is in --help but not in the page";
    for (const char* more : {"delete", "enable", "disable"})
        EXPECT_NE(page.find(std::string("user ") + more), std::string::npos) << more;
}

TEST(ManualPages, renderWithoutWarnings)
{
    if (!fs::exists("/usr/bin/groff"))
        GTEST_SKIP() << "groff is not installed";
    for (const Page& p : kPages) {
        Program groff("/usr/bin/groff",
                      {"-man", "-ww", "-z", "-Tutf8", QString::fromStdString((fs::path(QUINTAR_BUILD_DIR) / "share/man/man1" / p.page).string())});
        ASSERT_TRUE(groff.Run());
        EXPECT_EQ(groff.ExitStatus(), 0) << p.page;
        EXPECT_EQ(groff.Err(), "") << p.page;
    }
}

}  // namespace
