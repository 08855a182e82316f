// RadioSim: a simulated transceiver on a pseudo-terminal for tests and bench work.
// It records every byte it receives and sends, takes the whole CAT command set of both served models
// (Transceiver.h), and can delay, split or merge its answers to imitate awkward serial timing.
#pragma once

#include <string>
#include <string_view>

namespace radiosim {

struct Options {
    unsigned id = 20;        // identity answered to "ID;" (19 takes that model's commands, any other 20's)
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

    // Every byte the radio has written to the line so far (answers, reports, injections).
    std::string Sent() const;
    void ClearSent();
    bool WaitSent(std::string_view text, int timeoutMs);  // until Sent() contains text

    void SetSilent(bool silent);
    void SetId(unsigned id);
    unsigned long long FrequencyA() const;
    void SetFrequencyA(unsigned long long hz);  // as the tuning knob would, without a report
    unsigned long long FrequencyB() const;
    unsigned Ai() const;
    void SetAi(unsigned ai);  // as the radio's own menu would, without a report
    unsigned Power() const;
    void SetPower(unsigned power);
    unsigned Mode() const;         // the MD value: 1 LSB, 2 USB, 3 CW, ...
    unsigned ReceiveVfo() const;   // the FR value: 0 VFO A, 1 VFO B, 2 memory
    unsigned TransmitVfo() const;  // the FT value
    bool Transmitting() const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace radiosim
