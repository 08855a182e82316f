// An independent CAT client through the whole station: `rigctl` from Hamlib's utilities talks to
// a pseudo-terminal; a login bridge carries that to the `quintar --headless` process over TCP,
// which relays to the simulated radio. Frequency, mode, VFO and transmit commands must work end to
// end and change the radio's state.
#include <csignal>

#include "HeadlessFixture.h"
#include "LoginBridge.h"
#include "Rigctl.h"

namespace stationtest {
namespace {

struct Client {
    const char* name;
    int hamlibModel;  // Hamlib's backend for a radio that speaks this command set and reports this identity
    unsigned identity;
    QStringList hostOptions;
};

void PrintTo(const Client& c, std::ostream* os)
{
    *os << c.name;
}

class RigctlThroughStation : public Headless, public ::testing::WithParamInterface<Client> {};

TEST_P(RigctlThroughStation, frequencyModeVfoAndTransmitWorkEndToEnd)
{
    if (testsupport::FindOnPath("rigctl").empty())
        GTEST_SKIP() << "rigctl is not installed (Debian package libhamlib-utils)";
    const Client& client = GetParam();
    settings.users = {{"op1", "pw1", "", 0}};
    radiosim::Options radioOptions;
    radioOptions.id = client.identity;
    StartRadio(radioOptions);
    Program host(Arguments(client.hostOptions + QStringList{"--verbose"}), Environment());
    ASSERT_TRUE(Serving(host));

    radio->ClearSent();  // the host's wake-up draws "?;" from a radio without terminal control
    testsupport::LoginBridge bridge;
    ASSERT_TRUE(bridge.Start(static_cast<unsigned>(settings.tcpPort), "op1", "pw1", 5000)) << bridge.Error();
    testsupport::Rigctl cat(client.hamlibModel, bridge.SlavePath());
    ASSERT_TRUE(cat.Open()) << cat.Process().Out() << cat.Process().Err();

    using R = const radiosim::RadioSim&;
    const std::vector<testsupport::CatStep> steps = {
        {"f", "Frequency: 14074000\n", false, [](R r) { return r.FrequencyA() == 14074000u; }},
        {"F 14250000", "", false, [](R r) { return r.FrequencyA() == 14250000u; }},
        {"f", "Frequency: 14250000\n", false, nullptr},
        {"m", "Mode: USB\nPassband: ", true, [](R r) { return r.Mode() == 2u; }},
        {"M CW 0", "", false, [](R r) { return r.Mode() == 3u; }},
        {"m", "Mode: CW\nPassband: ", true, nullptr},
        {"M USB 0", "", false, [](R r) { return r.Mode() == 2u; }},
        {"v", "VFO: VFOA\n", false, [](R r) { return r.ReceiveVfo() == 0u; }},
        {"V VFOB", "", false, [](R r) { return r.ReceiveVfo() == 1u && r.TransmitVfo() == 1u; }},
        {"v", "VFO: VFOB\n", false, nullptr},
        {"F 7100000", "", false, [](R r) { return r.FrequencyB() == 7100000u && r.FrequencyA() == 14250000u; }},
        {"f", "Frequency: 7100000\n", false, nullptr},
        {"V VFOA", "", false, [](R r) { return r.ReceiveVfo() == 0u && r.TransmitVfo() == 0u; }},
        {"f", "Frequency: 14250000\n", false, nullptr},
        {"t", "PTT: 0\n", false, [](R r) { return !r.Transmitting(); }},
        {"T 1", "", false, [](R r) { return r.Transmitting(); }},
        {"t", "PTT: 1\n", false, nullptr},
        {"T 0", "", false, [](R r) { return !r.Transmitting(); }},
        {"t", "PTT: 0\n", false, nullptr},
    };
    ASSERT_NO_FATAL_FAILURE(testsupport::RunCatSteps(cat, *radio, steps));
    EXPECT_EQ(radio->Sent().find("?;"), std::string::npos) << "a command the radio did not take:\n"
                                                            << radio->Received() << "\n" << radio->Sent();
    // On closing, rigctl restores auto-information with a value identity 19 does not take; it
    // reports the refusal and goes on.
    ASSERT_NO_FATAL_FAILURE(testsupport::QuitCat(cat));
    EXPECT_FALSE(bridge.ServerClosed());

    bridge.Stop();
    EXPECT_TRUE(host.WaitForOutput("connection: closed\n", 5000)) << host.Out();
    ASSERT_TRUE(StoppedBySigterm(host));
}

INSTANTIATE_TEST_SUITE_P(
    Models, RigctlThroughStation,
    ::testing::Values(Client{"identity20", 2028, 20, {}}, Client{"identity19", 2014, 19, {"-EDM"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace stationtest
