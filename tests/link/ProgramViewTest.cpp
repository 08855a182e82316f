// The radio as the program sees it through the link: its own auto-information, only the answers to
// its own queries while that is off, "?;" at once for what the station drops, in the program's
// order. Scripted transcripts: each step is what one side wrote and what each side then gets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProgramView.h"

namespace linktest {
namespace {

using quintar::link::ProgramView;

struct Step {
    char from;               // 'p' the program wrote, 'r' the radio answered, 't' time passed (ms in `text`)
    std::string text;
    std::string toStation;   // what the link sent on to the station
    std::string toProgram;   // what the program got
};

// The link's own identity query first, answered by the radio of `model`.
class View {
public:
    explicit View(unsigned model)
    {
        EXPECT_EQ(view.OwnQuery(now), "ID;");
        std::string out;
        view.FromRadio("ID0" + std::to_string(model) + ";", out);
        EXPECT_EQ(out, "") << "the link's own answer reached the program";
        EXPECT_EQ(view.Model(), model);
    }

    void Play(const std::vector<Step>& steps)
    {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const Step& s = steps[i];
            SCOPED_TRACE("step " + std::to_string(i + 1) + ": " + s.text);
            std::string toStation, toProgram;
            if (s.from == 'p') {
                view.FromProgram(s.text, now, toStation, toProgram);
            } else if (s.from == 'r') {
                view.FromRadio(s.text, toProgram);
            } else {
                now += std::chrono::milliseconds(std::stoi(s.text));
                view.Expire(now, toProgram);
            }
            EXPECT_EQ(toStation, s.toStation);
            EXPECT_EQ(toProgram, s.toProgram);
        }
    }

    ProgramView view;
    ProgramView::TimePoint now{};
};

const std::string kStatus = "IF00014074000     +00000000002000000;";

TEST(ProgramView, keepsTheProgramsAutoInformationAndNeverChangesTheRadios)
{
    View v(20);
    v.Play({
        {'p', "AI;", "", "AI0;"},
        {'p', "AI2;AI;", "", "AI2;"},
        {'p', "ai1;AI;", "", "AI1;"},
        {'p', "AI4;AI12;AIx;AI;", "", "?;?;?;AI1;"},
        {'p', "AI0;AI;", "", "AI0;"},
    });
    EXPECT_EQ(v.view.AutoInformation(), 0u);
    EXPECT_EQ(v.view.CommandsAnswered(), 11u);

    View dunmore(19);
    dunmore.Play({
        {'p', "AI1;AI3;AI;", "", "?;?;AI0;"},
        {'p', "AI2;AI;", "", "AI2;"},
    });
}

TEST(ProgramView, withItsAutoInformationOffTheProgramGetsOnlyTheAnswersItAskedFor)
{
    View v(20);
    v.Play({
        // The station keeps the radio reporting; what the program did not ask for stays here.
        {'r', "FA00007074000;" + kStatus, "", ""},
        {'p', "FA;", "FA;", ""},
        {'r', "FT1;" + kStatus + "FA00014074000;", "", "FA00014074000;"},
        // A split set and its check: the radio's reports of the change come before the answer.
        {'p', "FR0;FT1;ID;", "FR0;FT1;ID;", ""},
        {'r', "FT1;" + kStatus + "ID020;", "", "ID020;"},
        // Queries that carry their index; keying commands, which the radio never answers.
        {'p', "AG0;EX0560000;TX;ID;", "AG0;EX0560000;TX;ID;", ""},
        {'r', "AG0100;EX05600000;TX0;" + kStatus + "ID020;", "", "AG0100;EX05600000;ID020;"},
        // An answer cut anywhere is judged whole.
        {'p', "MD;", "MD;", ""},
        {'r', "M", "", ""},
        {'r', "D2;FB", "", "MD2;"},
        {'r', "00007000000;", "", ""},
        // Identity 20 answers the meter query with every meter.
        {'p', "RM;", "RM;", ""},
        {'r', "RM10000;RM20000;", "", "RM10000;RM20000;"},
        {'r', "RM30000;RM10000;", "", "RM30000;"},
    });
    EXPECT_EQ(v.view.ReportsDropped(), 10u);

    // Switched on, it gets the reports too, as from a radio that reports.
    v.Play({
        {'p', "AI2;", "", ""},
        {'r', "FT1;" + kStatus, "", "FT1;" + kStatus},
        {'p', "FA;", "FA;", ""},
        {'r', "FA00014074000;", "", "FA00014074000;"},
    });
}

TEST(ProgramView, answersWhatTheStationDropsAtOnceAndInTheProgramsOrder)
{
    View corrin(20);
    corrin.Play({
        {'p', "SR;", "", "?;"},
        {'p', "sr1;MF0;EX05500001;", "", "?;?;?;"},
        // Allowed: reads, the other model's menus, and what depends on the station's own settings.
        {'p', "MF;EX0550000;EX02400001;LM1;", "MF;EX0550000;EX02400001;LM1;", ""},
        {'r', "MF0;EX05500000;", "", "MF0;EX05500000;"},
        // Behind a query, the reply waits for its answer.
        {'p', "FA;\nSR;ID;", "FA;ID;", ""},
        {'r', "FA00014074000;", "", "FA00014074000;?;"},
        {'r', "ID020;", "", "ID020;"},
        // A set the radio refuses is answered by the radio, before the check that follows it.
        {'p', "PC000;ID;", "PC000;ID;", ""},
        {'r', "?;ID020;", "", "?;ID020;"},
        {'p', "PC050;ID;", "PC050;ID;", ""},
        {'r', "ID020;", "", "ID020;"},
    });
    View dunmore(19);
    dunmore.Play({
        {'p', "EX02400001;EX0240000;EX05500001;", "EX0240000;EX05500001;", "?;"},
        {'p', "RM;", "RM;", ""},
        {'r', "RM10000;RM20000;", "", "RM10000;"},
    });
}

TEST(ProgramView, holdsAHalfCommandAndGivesUpOnALostAnswer)
{
    View v(20);
    v.Play({
        {'p', "F", "", ""},
        {'p', "A;A", "FA;", ""},
        {'p', "I;", "", ""},
        // The answer never comes; the reply behind it goes out once its query is given up.
        {'t', "2999", "", ""},
        {'t', "1", "", "AI0;"},
        {'r', "FA00014074000;", "", ""},
    });
    EXPECT_FALSE(v.view.NextExpiry());
    // A radio's refusal of a query is that query's answer.
    v.Play({
        {'p', "ZZ;SR;", "ZZ;", ""},
        {'r', "?;", "", "?;?;"},
    });
}

TEST(ProgramView, forgetsAnEndedSessionButNotTheProgramsAutoInformation)
{
    View v(19);
    v.Play({
        {'p', "AI2;FA;EX0", "FA;", ""},
    });
    v.view.Reset();
    EXPECT_EQ(v.view.Model(), 0u);
    EXPECT_FALSE(v.view.NextExpiry());
    v.Play({
        {'r', "FA00014074000;", "", "FA00014074000;"},
        {'p', "AI;", "", "AI2;"},
        // Without the model only the rules of every model apply.
        {'p', "EX02400001;SR;", "EX02400001;", "?;"},
    });
}

}  // namespace
}  // namespace linktest
