// RadioSim: a simulated transceiver on a pseudo-terminal for tests and bench work.
// It records every byte it receives, answers the common CAT commands, and can delay, split or
// merge its answers to imitate awkward serial timing.
#pragma once

#include <string>
#include <string_view>

namespace radiosim {

struct Options {
    unsigned id = 20;        // identity answered to "ID;" (20, 19 or any)
    bool silent = false;     // record but never answer
    int delayMs = 0;         // delay before each answer goes out
    int splitBytes = 0;      // > 0: write each answer in pieces of this size, ~1 ms apart
    bool merge = false;      // collect answers for mergeWindowMs and write them in one go
    int mergeWindowMs = 5;
};

class RadioSim {
public:
    explicit RadioSim(Options options = {});
    ~RadioSim();  // stops
    RadioSim(const RadioSim&) = delete;
    RadioSim& operator=(const RadioSim&) = delete;

    // Opens the pty pair (raw) and starts the radio. Keeps a slave descriptor open itself so
    // clients may close and reopen the line without the radio seeing a hang-up.
    bool Start();
    void Stop();
    std::string SlavePath() const;  // e.g. /dev/pts/7; empty before Start

    // Writes raw bytes to the line as the radio, whole and in order with the answers.
    void Inject(std::string_view bytes);
    std::string Received() const;  // every byte the radio received so far
    void ClearReceived();
    bool WaitReceived(std::string_view text, int timeoutMs);  // until Received() contains text

    void SetSilent(bool silent);
    void SetId(unsigned id);
    unsigned long long FrequencyA() const;
    void SetFrequencyA(unsigned long long hz);
    unsigned Ai() const;
    unsigned Power() const;
    void SetPower(unsigned power);
    bool Transmitting() const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace radiosim
