// An independent CAT client through the whole station: `rigctl` from Hamlib's utilities talks to
// a pseudo-terminal; a login bridge carries that to the `quintar --headless` process over TCP,
// which relays to the simulated radio. Frequency, mode, VFO and transmit commands must work end to
// end and change the radio's state.
#include <csignal>
#include <cstdlib>
#include <functional>
#include <optional>

#include <unistd.h>

#include "HeadlessFixture.h"
#include "LoginBridge.h"

namespace stationtest {
namespace {

constexpr int kStepMs = 30000;  // rigctl retries a command that goes unanswered several times
const std::string kPrompt = "\nRig command: ";

std::string FindOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t at = 0; at <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', at), dirs.size());
        const std::string candidate = dirs.substr(at, end - at) + "/" + name;
        if (end > at && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        at = end + 1;
    }
    return {};
}

// rigctl in its interactive mode: one command a line, each answered by its output and the next
// prompt.
class Rigctl {
public:
    Rigctl(const std::string& program, int model, const std::string& port)
        : process_(program, {"-m", QString::number(model), "-r", QString::fromStdString(port), "-s", "9600"})
    {
    }
    Program& Process() { return process_; }

    // Starts it; true once it has opened the radio and prompts for the first command.
    bool Open()
    {
        return process_.Start() && process_.WaitForOutput(kPrompt, kStepMs, ++prompts_);
    }

    // The command's output (the text between its prompt and the next), or nothing when it stalled.
    std::optional<std::string> Run(const std::string& command)
    {
        const std::size_t from = process_.Out().size();
        if (!process_.Write(command + "\n") || !process_.WaitForOutput(kPrompt, kStepMs, ++prompts_))
            return std::nullopt;
        const std::string& out = process_.Out();
        const std::size_t end = out.rfind(kPrompt);
        return end >= from ? out.substr(from, end - from) : std::string();
    }

private:
    Program process_;
    std::size_t prompts_ = 0;
};

struct Client {
    const char* name;
    int hamlibModel;  // Hamlib's backend for a radio that speaks this command set and reports this identity
    unsigned identity;
    QStringList hostOptions;
};

struct Step {
    const char* command;
    const char* output;  // what rigctl prints; with `prefix`, how its output begins
    bool prefix;
    std::function<bool(const radiosim::RadioSim&)> radioHas;  // the radio's state after the step
};

void PrintTo(const Client& c, std::ostream* os)
{
    *os << c.name;
}

class RigctlThroughStation : public Headless, public ::testing::WithParamInterface<Client> {};

TEST_P(RigctlThroughStation, frequencyModeVfoAndTransmitWorkEndToEnd)
{
    const std::string rigctl = FindOnPath("rigctl");
    if (rigctl.empty())
        GTEST_SKIP() << "rigctl is not installed (Debian package libhamlib-utils)";
    const Client& client = GetParam();
    settings.users = {{"op1", "pw1", "", 0}};
    radiosim::Options radioOptions;
    radioOptions.id = client.identity;
    StartRadio(radioOptions);
    Program host(Arguments(client.hostOptions + QStringList{"--verbose"}), Environment());
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(host.WaitForOutput(ReadyLine(), 15000)) << host.Err();

    radio->ClearSent();  // the host's wake-up draws "?;" from a radio without terminal control
    testsupport::LoginBridge bridge;
    ASSERT_TRUE(bridge.Start(static_cast<unsigned>(settings.tcpPort), "op1", "pw1", 5000)) << bridge.Error();
    Rigctl cat(rigctl, client.hamlibModel, bridge.SlavePath());
    ASSERT_TRUE(cat.Open()) << cat.Process().Out() << cat.Process().Err();

    using R = const radiosim::RadioSim&;
    const Step steps[] = {
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
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        const std::optional<std::string> output = cat.Run(step.command);
        ASSERT_TRUE(output) << "rigctl stalled\n" << cat.Process().Out();
        if (step.prefix) {
            EXPECT_EQ(output->substr(0, std::string(step.output).size()), step.output) << *output;
        } else {
            EXPECT_EQ(*output, step.output);
        }
        // Not every set is followed by a query that proves it arrived (rigctl sends "RX;" alone).
        if (step.radioHas) {
            EXPECT_TRUE(testsupport::WaitUntil([&] { return step.radioHas(*radio); }, 5000));
        }
    }
    EXPECT_EQ(radio->Sent().find("?;"), std::string::npos) << "a command the radio did not take:\n"
                                                            << radio->Received() << "\n" << radio->Sent();
    // On closing, rigctl restores auto-information with a value identity 19 does not take; it
    // reports the refusal and goes on.
    ASSERT_TRUE(cat.Process().Write("q\n"));
    ASSERT_TRUE(cat.Process().WaitForExit(kStepMs));
    EXPECT_EQ(cat.Process().ExitStatus(), 0);
    EXPECT_EQ(cat.Process().Out().find("error"), std::string::npos) << cat.Process().Out();
    EXPECT_FALSE(bridge.ServerClosed());

    bridge.Stop();
    EXPECT_TRUE(host.WaitForOutput("connection: closed\n", 5000)) << host.Out();
    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(15000));
    EXPECT_EQ(host.ExitStatus(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Models, RigctlThroughStation,
    ::testing::Values(Client{"identity20", 2028, 20, {}}, Client{"identity19", 2014, 19, {"-EDM"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace stationtest
