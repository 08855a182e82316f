// rigctl, Hamlib's command-line CAT program, as the tests drive it: in its interactive mode, one
// command a line, each answered by its output and the next prompt; and a table of commands played
// through it, each checked on rigctl's output and on the simulated radio.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "RadioSim.h"

namespace testsupport {

class Rigctl {
public:
    // rigctl for Hamlib's backend `model` on the terminal `port` at 9600 baud, with `options` added.
    Rigctl(int model, const std::string& port, std::vector<std::string> options = {});
    // Starts it; true once it has opened the radio and prompts for the first command.
    bool Open();
    // The command's output (the text between its prompt and the next), or nothing when it stalled.
    std::optional<std::string> Run(const std::string& command);
    ChildProcess& Process() { return process_; }

private:
    ChildProcess process_;
    std::size_t prompts_ = 0;
};

struct CatStep {
    const char* command;
    const char* output;  // what rigctl prints; with `prefix`, how its output begins
    bool prefix;
    std::function<bool(const radiosim::RadioSim&)> radioHas;  // the radio's state after the step
};

// Plays the steps in order; a step rigctl does not answer ends them (a fatal failure).
void RunCatSteps(Rigctl& cat, const radiosim::RadioSim& radio, const std::vector<CatStep>& steps);
// Ends rigctl with "q": it ends in time, with status 0 and no error printed.
void QuitCat(Rigctl& cat);

}  // namespace testsupport
