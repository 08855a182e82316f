// The sound devices of `quintar-link --audio-devices`, made on the operator's sound server
// (PulseAudio, or PipeWire's PulseAudio service) with pactl: "Quintar RX", a null sink the call
// plays the station's audio into, whose monitor ("Monitor of Quintar RX") a decoding program
// records from; "Quintar TX", a null sink a program plays into to be sent, and "Quintar TX to
// station", a source over its monitor that the call records from (the SIP engine lists no
// monitors as microphones). They carry this link's process id, so that devices a link left
// behind when it was killed are recognised and removed at the next start.
#pragma once

#include <string>
#include <vector>

namespace quintar::link {

class AudioDevices {
public:
    // Device descriptions, as the engine and the operator's programs name them.
    static constexpr char kRx[] = "Quintar RX";
    static constexpr char kTx[] = "Quintar TX";
    static constexpr char kTxSource[] = "Quintar TX to station";

    // `pactl`: the program run (found on PATH without a slash).
    explicit AudioDevices(std::string pactl = "pactl") : pactl_(std::move(pactl)) {}
    ~AudioDevices() { Remove(); }
    AudioDevices(const AudioDevices&) = delete;
    AudioDevices& operator=(const AudioDevices&) = delete;

    // Removes devices left by a link that is gone (each named in `removed`), then makes the three.
    // False with `error` when the sound server cannot be reached, another running link has them,
    // or a module does not load (what was made is removed again).
    bool Create(std::string& error, std::vector<std::string>* removed = nullptr);
    // Unloads what Create made; later calls do nothing.
    void Remove();
    bool Created() const { return !modules_.empty(); }

    // pactl with `arguments`: its standard output, or false with `error`. Waits 10 s at most.
    bool Pactl(const std::vector<std::string>& arguments, std::string& output, std::string& error) const;

private:
    std::string pactl_;
    std::vector<std::string> modules_;  // module indexes, in the order loaded
};

}  // namespace quintar::link
