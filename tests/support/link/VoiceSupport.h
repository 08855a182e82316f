// Helpers of the link's voice tests: a PulseAudio server of the test's own (no sound card, its
// socket in the test's folder), sound programs run against it, and WAV tones written and measured
// by frequency (Goertzel), so that a test tells the tone it sent from any other sound.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace voicesupport {

bool Installed(const std::string& program);

class PrivatePulse {
public:
    explicit PrivatePulse(std::filesystem::path folder);
    ~PrivatePulse();  // stops the server and every program started with Spawn
    PrivatePulse(const PrivatePulse&) = delete;
    PrivatePulse& operator=(const PrivatePulse&) = delete;

    // Starts the server and waits for its socket; false with `error`.
    bool Start(std::string& error);
    // What a program needs in its environment to use this server, and nothing of the user's.
    std::vector<std::string> Environment() const;
    // The same set in this process, for code under test that runs pactl itself.
    void Enter() const;
    // Runs a sound program to its end: its exit status, -1 after `timeoutMs`; its output in `output`.
    int Run(const std::vector<std::string>& argv, int timeoutMs = 10000, std::string* output = nullptr) const;
    // Starts one in the background, ended (SIGTERM) with the server or by Stop.
    pid_t Spawn(const std::vector<std::string>& argv);
    void Stop(pid_t pid);
    // The modules loaded now, one "index<TAB>name<TAB>arguments" line each.
    std::string Modules() const;

private:
    std::filesystem::path folder_;
    pid_t server_ = -1;
    std::vector<pid_t> children_;
};

// A 16-bit mono WAV file of a sine tone.
bool WriteTone(const std::filesystem::path& file, double hz, double seconds, int rate = 8000);

struct Sound {
    int rate = 0;
    std::vector<std::int16_t> samples;  // the first channel
};
// Reads 16-bit PCM leniently: the sizes in the header are not trusted (the SIP engine's recorder
// writes them only when it closes the file), the file's end is.
Sound ReadWav(const std::filesystem::path& file);
// The tone's mean power at `hz` over `seconds` from `from` (Goertzel).
double ToneLevel(const Sound& sound, double hz, double from = 0, double seconds = 1e9);

}  // namespace voicesupport
