// The split of the station's stream into the radio's bytes and the station's own texts, and the
// gate on the program's commands: the same result however TCP cuts the stream.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StationStream.h"

namespace linktest {
namespace {

using quintar::link::CommandGate;
using quintar::link::ParseAutoInformation;
using quintar::link::ParseSessionTime;
using quintar::link::ParseVoice;
using quintar::link::ReportFilter;
using quintar::link::SessionClock;

struct Split {
    std::string radio;
    std::vector<std::string> station;
};

Split FeedInPieces(const std::string& stream, const std::vector<std::size_t>& cuts)
{
    ReportFilter filter;
    Split out;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        filter.Feed(std::string_view(stream).substr(from, cut - from), out.radio, out.station);
        from = cut;
    }
    filter.Feed(std::string_view(stream).substr(from), out.radio, out.station);
    return out;
}

// A session as the station sends it: answers, a clock push, the voice report, a padded password
// change answer, more answers, and the idle farewell.
std::string SessionStream()
{
    std::string s = "FA00014074000;@@ST000012000100;MD2;@@VE1;IF00014074000     +00000000002000000;@@CP1;";
    s.append(144, '\0');
    s += "ID020;\r\nConnection time out.\r\nGood-Bye\r\n;";
    return s;
}

const std::string kRadio = "FA00014074000;MD2;IF00014074000     +00000000002000000;ID020;";
const std::vector<std::string> kStation = {"@@ST000012000100;", "@@VE1;", "@@CP1;",
                                           "\r\nConnection time out.\r\nGood-Bye\r\n;"};

TEST(ReportFilter, separatesReportsFromAnswersWhereverOneCutFalls)
{
    const std::string stream = SessionStream();
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const Split s = FeedInPieces(stream, {cut});
        EXPECT_EQ(s.radio, kRadio);
        EXPECT_EQ(s.station, kStation);
    }
}

TEST(ReportFilter, separatesReportsFromAnswersFedOneByteAtATime)
{
    const std::string stream = SessionStream();
    std::vector<std::size_t> cuts;
    for (std::size_t i = 1; i < stream.size(); ++i)
        cuts.push_back(i);
    const Split s = FeedInPieces(stream, cuts);
    EXPECT_EQ(s.radio, kRadio);
    EXPECT_EQ(s.station, kStation);
}

TEST(ReportFilter, handsOnALineEndThatBeginsNoFarewell)
{
    // Not what a radio sends, but nothing the station sends either: it must reach the program whole.
    const Split s = FeedInPieces("FA;\r\nConnection tX;MD2;", {5, 12});
    EXPECT_EQ(s.radio, "FA;\r\nConnection tX;MD2;");
    EXPECT_TRUE(s.station.empty());
}

TEST(ReportFilter, handsOnARunawayAtTextRatherThanSwallowingTheStream)
{
    const std::string runaway = "@" + std::string(80, 'x');
    const Split s = FeedInPieces(runaway + "FA;", {});
    EXPECT_EQ(s.radio, runaway + "FA;");
    EXPECT_TRUE(s.station.empty());
}

TEST(ReportFilter, takesAnAtSignInsideAnAnswerAsTheRadios)
{
    const Split s = FeedInPieces("KY @@ST;", {});
    EXPECT_EQ(s.radio, "KY @@ST;");
    EXPECT_TRUE(s.station.empty());
}

TEST(ReportFilter, startsAfreshAfterReset)
{
    ReportFilter filter;
    std::string radio;
    std::vector<std::string> station;
    filter.Feed("@@ST0000", radio, station);
    filter.Reset();
    filter.Feed("FA00014074000;", radio, station);
    EXPECT_EQ(radio, "FA00014074000;");
    EXPECT_TRUE(station.empty());
}

TEST(SessionReports, readTheClockAndTheVoiceReport)
{
    EXPECT_EQ(ParseSessionTime("@@ST000012000100;"), (SessionClock{12, 60}));
    EXPECT_EQ(ParseSessionTime("@@ST013005020000;"), (SessionClock{3600 + 30 * 60 + 5, 2 * 3600}));
    EXPECT_EQ(ParseSessionTime("@@ST000000000000;"), (SessionClock{0, 0}));
    // Elapsed hours are not wrapped at 100.
    EXPECT_EQ(ParseSessionTime("@@ST1000000010000;"), (SessionClock{100 * 3600, 3600}));
    for (const char* bad : {"@@ST00001200010;", "@@ST0000120001x0;", "@@ST006000000100;", "@@ST000012000100",
                            "@@AI000012000100;", "@@ST;"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseSessionTime(bad));
    }
    EXPECT_EQ(ParseVoice("@@VE1;"), true);
    EXPECT_EQ(ParseVoice("@@VE0;"), false);
    EXPECT_FALSE(ParseVoice("@@VE2;"));
    EXPECT_FALSE(ParseVoice("@@VE;"));
    EXPECT_EQ(ParseAutoInformation("@@AI1;"), true);
    EXPECT_FALSE(ParseAutoInformation("@@AI10;"));
}

TEST(CommandGate, dropsTheStationsCommandsWholeWhereverTheyAreCut)
{
    const std::string program = "FA;@@CP newpass;MD;@@AI0;ID;";
    for (std::size_t cut = 0; cut <= program.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        CommandGate gate;
        std::string out = gate.Pass(program.substr(0, cut));
        out += gate.Pass(program.substr(cut));
        EXPECT_EQ(out, "FA;MD;ID;");
        EXPECT_EQ(gate.DroppedCommands(), 2u);
    }
}

TEST(CommandGate, letsTheLinkSpeakOnlyBetweenWholeCommands)
{
    CommandGate gate;
    EXPECT_TRUE(gate.AtBoundary());
    gate.Pass("FA000140");
    EXPECT_FALSE(gate.AtBoundary());
    gate.Pass("74000;");
    EXPECT_TRUE(gate.AtBoundary());
    gate.Pass("@@ST");  // dropped: the forwarded stream still ends with a whole command
    EXPECT_TRUE(gate.AtBoundary());
}

TEST(CommandGate, dropsTheTailOfACommandBegunWhileTheStationWasAway)
{
    CommandGate gate;
    gate.Drop("MD;FA0001");
    gate.Resume();
    EXPECT_EQ(gate.Pass("4074000;MD;"), "MD;");

    CommandGate whole;
    whole.Drop("FA;");
    whole.Resume();
    EXPECT_EQ(whole.Pass("MD;"), "MD;");
}

}  // namespace
}  // namespace linktest
