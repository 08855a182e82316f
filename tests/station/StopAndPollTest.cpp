// Station stop, the power switch, the answers the host corrects, and the poll timer with its
// watchdog, against the simulated radio and a real TCP client.
#include "StationFixture.h"

namespace stationtest {
namespace {

const std::string kKeyerClear = "KY" + std::string(25, ' ') + ";";

struct StopCase {
    const char* name;
    unsigned radioId;
    std::string expectedWrites;
};

class StopSequence : public StationTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopSequence, clearsKeyerOnlyForCorrinSwitchesAutoInformationOffAndLogsEndOnce)
{
    radiosim::Options o;
    o.id = GetParam().radioId;
    StartRadio(o);
    quintar::HostOptions options;
    options.secondModelEnabled = true;
    MakeController(options);
    StartAndSettle();
    ASSERT_TRUE(controller->PowerLamp());

    radio->ClearReceived();
    StopAndWait();
    EXPECT_TRUE(radio->WaitReceived(GetParam().expectedWrites, 2000));
    EXPECT_EQ(radio->Received(), GetParam().expectedWrites);
    StopAndWait();  // stopped already: nothing more

    EXPECT_FALSE(controller->Running());
    EXPECT_FALSE(controller->ServerOpen());
    EXPECT_FALSE(controller->ControlLamp());
    EXPECT_FALSE(controller->PowerLamp());
    EXPECT_FALSE(controller->RadioPowerOn());
    EXPECT_FALSE(controller->Started());
    EXPECT_EQ(controller->ModelName(), "");
    EXPECT_EQ(Count(Log(), LogEntry("- END - End VEXA.")), 1u);
    EXPECT_EQ(stops, std::vector<StopCause>{StopCause::Command});
    EXPECT_EQ(CBrenlow().ConnDirect(reinterpret_cast<const unsigned char*>(";")), 0);  // link closed
}

INSTANTIATE_TEST_SUITE_P(Models, StopSequence,
                         ::testing::Values(StopCase{"corrin", 20, kKeyerClear + "AI0;"},
                                           // It leaves terminal mode first, where only that is taken.
                                           StopCase{"dunmore", 19, "\x03;\rTC 1;\rAI0;"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StationTest, stopWhileStoppedLogsNothing)
{
    StartRadio();
    MakeController();
    StopAndWait();
    EXPECT_EQ(Log(), "");
    EXPECT_TRUE(stops.empty());
    EXPECT_EQ(radio->Received(), "");
}

TEST_F(StationTest, controllerTeardownStopsARunningStationWithOneEndLine)
{
    StartRadio();
    MakeController();
    StartAndSettle();
    controller.reset();
    EXPECT_EQ(Count(Log(), LogEntry("- END - End VEXA.")), 1u);
    EXPECT_NE(radio->Received().find("AI0;"), std::string::npos);
}

// The power switch's parameter depends on the power state and the model.
struct PowerCase {
    const char* name;
    unsigned radioId;
    unsigned radioPower;
    std::string expectedWrites;
    bool lampAfter;
};

class PowerSwitch : public StationTest, public ::testing::WithParamInterface<PowerCase> {};

TEST_P(PowerSwitch, sendsTheModelsParameterThenReadsBack)
{
    const PowerCase& c = GetParam();
    radiosim::Options o;
    o.id = c.radioId;
    StartRadio(o);
    radio->SetPower(c.radioPower);
    quintar::HostOptions options;
    options.secondModelEnabled = true;
    MakeController(options);
    StartAndSettle();
    ASSERT_EQ(controller->RadioPowerOn(), c.radioPower == 1);

    radio->ClearReceived();
    controller->PowerSwitch();
    EXPECT_TRUE(PumpUntil([&] { return radio->Received().find(c.expectedWrites) != std::string::npos; }, 2000));
    // What the power-state answer then asks for follows; the switch itself writes just these.
    EXPECT_EQ(radio->Received().substr(0, c.expectedWrites.size()), c.expectedWrites);
    // The lamp follows the radio's answer, not the switch.
    EXPECT_TRUE(PumpUntil([&] { return controller->PowerLamp() == c.lampAfter; }, 5000));
    EXPECT_EQ(controller->RadioPowerOn(), c.lampAfter);
}

INSTANTIATE_TEST_SUITE_P(Table, PowerSwitch,
                         ::testing::Values(PowerCase{"corrinOnSwitchesOffWith9", 20, 1, "PS9;PS;", false},
                                           PowerCase{"corrinOffSwitchesOnWith1", 20, 0, "PS1;PS;", true},
                                           PowerCase{"dunmoreOnSwitchesOffWith0", 19, 1, "PS0;PS;", false},
                                           PowerCase{"dunmoreOffSwitchesOnWith1", 19, 0, "PS1;PS;", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StationTest, powerSwitchWhileStoppedSendsNothing)
{
    StartRadio();
    MakeController();
    controller->PowerSwitch();
    EXPECT_EQ(radio->Received(), "");
}

TEST_F(StationTest, powerOnAnswerAsksForTransmitStatus)
{
    StartRadio();
    radio->SetPower(0);
    MakeController();
    StartAndSettle();
    radio->ClearReceived();
    radio->Inject("PS1;");
    EXPECT_TRUE(PumpUntil([&] { return radio->Received().find("IF;") != std::string::npos; }, 5000));
    EXPECT_TRUE(PumpUntil([&] { return controller->PowerLamp(); }, 5000));
}

// Any auto-information mode but 2 is set back to 2.
class AutoInformationAnswer : public StationTest, public ::testing::WithParamInterface<int> {};

TEST_P(AutoInformationAnswer, isAnsweredWithAI2UnlessItIs2)
{
    StartRadio();
    MakeController();
    StartAndSettle();
    radio->ClearReceived();
    // The trailing AI1 always draws one AI2; a second one could only come from the tested answer.
    radio->Inject("AI" + std::to_string(GetParam()) + ";AI1;");
    const std::size_t expected = GetParam() == 2 ? 1 : 2;
    EXPECT_TRUE(PumpUntil([&] { return Count(radio->Received(), "AI2;") >= expected; }, 5000));
    PumpFor(200);
    EXPECT_EQ(Count(radio->Received(), "AI2;"), expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, AutoInformationAnswer, ::testing::Values(0, 1, 2, 3));

TEST_F(StationTest, pollStopsAtLoginAndResumesAfterTheClientLeaves)
{
    settings.users = {{"op1", "Secret!1", "Night operator", 0}};
    StartRadio();
    MakeController();
    StartAndSettle();
    EXPECT_TRUE(PumpUntil([&] { return Count(radio->Received(), "PS;") >= 2; }, 5000));  // polling

    Client client;
    ASSERT_TRUE(client.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
    EXPECT_TRUE(PumpUntil([&] { return controller->ClientAddress() == "127.0.0.1"; }, 5000));
    EXPECT_EQ(controller->UserId(), "");
    ASSERT_TRUE(client.LogIn("op1", "Secret!1", 5000));
    ASSERT_TRUE(PumpUntil([&] { return controller->ClientLoggedIn(); }, 5000));
    EXPECT_EQ(controller->UserId(), "op1");
    EXPECT_EQ(controller->Description(), "Night operator");
    EXPECT_EQ(controller->SessionTime(), "Unlimited");
    EXPECT_FALSE(controller->PollTimerActive());

    radio->ClearReceived();
    PumpFor(2500);
    EXPECT_EQ(Count(radio->Received(), "PS;"), 0u);
    EXPECT_TRUE(controller->Running());  // no watchdog during a login

    client.Close();
    ASSERT_TRUE(PumpUntil([&] { return !controller->ClientLoggedIn(); }, 5000));
    EXPECT_EQ(controller->UserId(), "");
    EXPECT_EQ(controller->ClientAddress(), "");
    EXPECT_EQ(controller->Description(), "");
    EXPECT_EQ(controller->SessionTime(), "");
    EXPECT_TRUE(PumpUntil([&] { return Count(radio->Received(), "PS;") >= 2; }, 5000));
}

TEST_F(StationTest, limitedSessionShowsElapsedAndLimitOnceTheFirstSecondHasPassed)
{
    settings.users = {{"op1", "pw", "", 0}};
    settings.sessionMinutes = 1;
    StartRadio();
    MakeController();
    StartAndSettle();
    std::vector<std::string> texts;
    QString atLogin = QStringLiteral("unset");
    QObject scope;
    QObject::connect(controller.get(), &StationController::SessionTimeChanged, &scope,
                     [&](const QString& t) { texts.push_back(t.toStdString()); });
    QObject::connect(controller.get(), &StationController::ConnectionEvent, &scope, [&](int v) {
        if (v == 3)
            atLogin = controller->SessionTime();
    });
    Client client;
    ASSERT_TRUE(LogIn(client, "op1", "pw"));
    ASSERT_TRUE(PumpUntil([&] { return !texts.empty() && !texts.back().empty(); }, 5000));
    EXPECT_EQ(atLogin, "");  // 0:00:00 elapsed shows nothing
    // Elapsed first, then the limit: "0:00:0s / 0:01:00" with a second from 1 to 9.
    const std::string& t = texts.back();
    EXPECT_TRUE(t.size() == 17 && t.rfind("0:00:0", 0) == 0 && t[6] >= '1' && t[6] <= '9' &&
                t.substr(7) == " / 0:01:00")
        << t;
}

TEST_F(StationTest, watchdogStopsAStationWhoseRadioFellSilentAfterTheFourthTick)
{
    StartRadio();
    MakeController();
    StartAndSettle();
    // While the radio answers, ticks go on and the station runs.
    ASSERT_TRUE(PumpUntil([&] { return Count(radio->Received(), "PS;") >= 5; }, 10000));
    EXPECT_TRUE(controller->Running());
    EXPECT_TRUE(stops.empty());

    radio->SetSilent(true);
    radio->ClearReceived();
    ASSERT_TRUE(PumpUntil([&] { return !controller->Running(); }, 10000));
    EXPECT_EQ(stops, std::vector<StopCause>{StopCause::Watchdog});
    // Three or four polls went unanswered (the first may have been sent before the silence).
    const std::size_t polls = Count(radio->Received(), "PS;");
    EXPECT_GE(polls, 3u);
    EXPECT_LE(polls, 4u);
    EXPECT_NE(radio->Received().find(kKeyerClear + "AI0;"), std::string::npos);
    EXPECT_EQ(Count(Log(), LogEntry("- END - End VEXA.")), 1u);
    EXPECT_FALSE(controller->PollTimerActive());
}

TEST_F(StationTest, restartAfterStopWithLoggedInClientPollsAgain)
{
    settings.users = {{"op1", "pw", "", 0}};
    StartRadio();
    MakeController();
    StartAndSettle();
    Client client;
    ASSERT_TRUE(LogIn(client, "op1", "pw"));
    ASSERT_TRUE(PumpUntil([&] { return controller->ClientLoggedIn(); }, 5000));
    StopAndWait();
    client.Close();

    ASSERT_EQ(StartAndWait(), StartResult::Started);
    radio->ClearReceived();
    EXPECT_TRUE(PumpUntil([&] { return Count(radio->Received(), "PS;") >= 3; }, 6000));
}

}  // namespace
}  // namespace stationtest
