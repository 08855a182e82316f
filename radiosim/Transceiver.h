// Transceiver: the simulated radio's state and its CAT command set, without any I/O. Every command
// of both served models is one row of a table (see Transceiver.cpp); reads are answered from the
// state, sets change it and answer nothing, anything else draws "?;".
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace radiosim {

class Transceiver {
public:
    explicit Transceiver(unsigned id) : id_(id) {}

    // Applies one command (the text before its ';') and appends what the radio sends back: the
    // answer of a read, "?;" for a command it does not take, and with auto-information on the
    // reports of what a set changed.
    void Handle(std::string_view command, std::vector<std::string>& out);

    // Identity 19 takes the command rows of that model; every other identity those of 20, while
    // "ID;" reports the identity as it is.
    void SetId(unsigned id) { id_ = id; }
    unsigned Id() const { return id_; }

    unsigned long long Frequency(char vfo) const;  // vfo 'A' or 'B'
    void SetFrequency(char vfo, unsigned long long hz);
    // The first value of a command without index, as its answer reports it (AI, PS, MD, FR, FT...).
    unsigned Value(std::string_view letters) const;
    void SetValue(std::string_view letters, unsigned value);
    bool Transmitting() const { return transmitting_; }

private:
    using Pieces = std::vector<std::string>;  // one text per non-index field, in answer order

    // The fields of a command's answer after its index digits: as last set, or the initial ones.
    Pieces Stored(std::string_view letters, std::string_view keys = {}) const;
    std::string Status(bool otherVfo) const;
    std::string TransmitStatus() const;
    bool AutoInformation() const { return Value("AI") != 0; }
    unsigned VfoInUse() const;

    unsigned Model() const { return id_ == 19 ? 1u : 2u; }

    unsigned id_;
    std::map<std::string, Pieces, std::less<>> store_;  // by letters and index digits
    bool transmitting_ = false;
    long offset_ = 0;  // RIT/XIT offset in Hz: RU and RD move it, RC clears it
};

}  // namespace radiosim
