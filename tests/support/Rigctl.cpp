// rigctl as a child process, and the command tables played through it.
#include "Rigctl.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace testsupport {

namespace {
constexpr int kStepMs = 30000;  // rigctl retries a command that goes unanswered several times
const std::string kPrompt = "\nRig command: ";
}  // namespace

Rigctl::Rigctl(int model, const std::string& port, std::vector<std::string> options)
    : process_(FindOnPath("rigctl"), [&] {
          std::vector<std::string> a = {"-m", std::to_string(model), "-r", port, "-s", "9600"};
          a.insert(a.end(), options.begin(), options.end());
          return a;
      }())
{
}

bool Rigctl::Open()
{
    return process_.Start() && process_.WaitForOutput(kPrompt, kStepMs, ++prompts_);
}

std::optional<std::string> Rigctl::Run(const std::string& command)
{
    const std::size_t from = process_.Out().size();
    if (!process_.Write(command + "\n") || !process_.WaitForOutput(kPrompt, kStepMs, ++prompts_))
        return std::nullopt;
    const std::string& out = process_.Out();
    const std::size_t end = out.rfind(kPrompt);
    return end >= from ? out.substr(from, end - from) : std::string();
}

void RunCatSteps(Rigctl& cat, const radiosim::RadioSim& radio, const std::vector<CatStep>& steps)
{
    for (const CatStep& step : steps) {
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
            EXPECT_TRUE(WaitUntil([&] { return step.radioHas(radio); }, 5000));
        }
    }
}

void QuitCat(Rigctl& cat)
{
    ASSERT_TRUE(cat.Process().Write("q\n"));
    ASSERT_TRUE(cat.Process().WaitForExit(kStepMs));
    EXPECT_EQ(cat.Process().ExitStatus(), 0);
    EXPECT_EQ(cat.Process().Out().find("error"), std::string::npos) << cat.Process().Out();
}

}  // namespace testsupport
