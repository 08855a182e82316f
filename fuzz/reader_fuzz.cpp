// Fuzz target: the radio reader thread over a real pseudo-terminal, fed arbitrary bytes in
// arbitrary chunks, relaying to a logged-in client on a real TCP connection.
// Properties besides the sanitizers':
//  - every byte the client gets was sent by the radio, in the radio's order;
//  - in parsing mode every answer reaches the client, whole unless it was noise longer than the
//    reader keeps (then its newest part), and answers are neither merged nor split;
//  - a partial answer the reader holds when pass-through begins comes out when parsing resumes;
//  - every notification is the library's message with an answer event code (4096..4218).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "Brenlow.h"
#include "FuzzSupport.h"
#include "Models.h"
#include "RadioState.h"

using fuzzsupport::Fail;
using fuzzsupport::Shown;

namespace {

constexpr int kPatienceMs = 5000;
constexpr std::size_t kLongestKept = 1022;  // an answer this long passes whole

struct Rig {
    fuzzsupport::Pty radio;
    fuzzsupport::CheckingWindow window;
    CBrenlow lib;
    int client = -1;
    unsigned long round = 0;
};

Rig* rig = nullptr;

std::vector<std::string> Segments(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(';', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    return out;
}

bool IsSubsequence(const std::string& part, const std::string& whole) {
    std::size_t at = 0;
    for (char c : part) {
        at = whole.find(c, at);
        if (at == std::string::npos) return false;
        ++at;
    }
    return true;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Reads the client until what it got ends with `marker`; false if it does not within the patience.
bool ReadThrough(const std::string& marker, std::string& got, const std::string& context) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (!EndsWith(got, marker)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (!fuzzsupport::ReadSome(rig->client, got, 50))
            Fail("the client's connection stays open", "waiting for " + Shown(marker) + " after " + context);
    }
    return true;
}

std::string ReadThrough(const std::string& marker, const std::string& context) {
    std::string got;
    if (!ReadThrough(marker, got, context))
        Fail("the reader relays everything to a logged-in client",
             "waiting for " + Shown(marker) + " after " + context + "; got " + Shown(got));
    return got;
}

// How much of the end mark's head the reader holds: the part of it that came in the same read as
// an answer that began pass-through, while the rest came through raw. 0 if none.
std::size_t HeldHead(const std::string& got, const std::string& marker) {
    if (!brenlow::State().terminalMode.load()) return 0;
    for (std::size_t head = 1; head < marker.size(); ++head)
        if (EndsWith(got, marker.substr(head))) return head;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rig = new Rig;
    brenlow::RadioState& s = brenlow::State();
    rig->lib.WinMsgSendReg(&rig->window);
    CBrenlow::SetComPortPath(1, rig->radio.SlavePath().c_str());
    if (!rig->lib.RadioConnectionOpen(20, 1, 9600, 1)) Fail("set-up", "the link does not open");
    CBrenlow::SetListenAddress("127.0.0.1");
    const unsigned port = fuzzsupport::FreeTcpPort();
    if (!s.socketServer.Listen(port)) Fail("set-up", "no listener");
    rig->client = fuzzsupport::ConnectFrom("127.0.0.1", port);
    for (int i = 0; i < 1000 && !s.socketServer.GetSocketAccepted(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (rig->client < 0 || !s.socketServer.GetClientExist()) Fail("set-up", "no client");
    // The reader relays to a client that the session server has logged in.
    s.session.loggedIn = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    brenlow::RadioState& s = brenlow::State();
    FuzzedDataProvider in(data, size);
    const std::uint32_t model = in.ConsumeBool() ? brenlow::kDunmore : brenlow::kCorrin;
    {
        std::scoped_lock g(s.cacheLock);
        s.cache.Clear();
    }
    s.modelId = model;
    s.terminalMode = 0;

    // The byte 0x01 marks the ends of a round, so the radio's bytes never hold it; the serial
    // component drops NUL bytes, so the record of what was sent leaves them out too.
    std::string sent;
    while (in.remaining_bytes() > 0) {
        std::string chunk = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(1, 1500));
        chunk.erase(std::remove(chunk.begin(), chunk.end(), '\x01'), chunk.end());
        if (chunk.empty()) continue;
        rig->radio.Write(chunk);
        chunk.erase(std::remove(chunk.begin(), chunk.end(), '\0'), chunk.end());
        sent += chunk;
        // Let the reader take this chunk before the next one, so chunk borders mostly hold.
        for (int i = 0; i < 200 && rig->radio.SlaveQueued() > 0; ++i) std::this_thread::yield();
    }
    // A partial answer the reader holds when pass-through begins stays held until parsing resumes
    // (the clean-up below brings it out). The end mark waits until the reader has taken what came
    // before it, so that it mostly comes in a read of its own; where it still shares one with the
    // answer that began pass-through, its head is held too.
    for (int i = 0; i < kPatienceMs && rig->radio.SlaveQueued() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string end = "\x01S" + std::to_string(++rig->round) + ";";
    rig->radio.Write(end);
    sent += end;
    std::string got;
    std::size_t held = 0;  // found once the wait for the whole end mark has run out
    if (!ReadThrough(end, got, Shown(sent)) && (held = HeldHead(got, end)) == 0)
        Fail("the reader relays everything to a logged-in client",
             "waiting for " + Shown(end) + " after " + Shown(sent) + "; got " + Shown(got));

    // Back to a clean reader for the next round: parsing mode, nothing pending. What the reader
    // held comes out first.
    for (int attempt = 0;; ++attempt) {
        if (attempt == 5) Fail("the reader leaves pass-through mode when told", Shown(sent));
        s.terminalMode = 0;
        const std::string clean = ";\x01" "E" + std::to_string(rig->round) + ";";
        rig->radio.Write(clean);
        const std::string cleanGot = ReadThrough(clean, "clean-up of " + Shown(sent));
        if (held > 0 && !EndsWith(cleanGot, end.substr(0, held) + clean))
            Fail("a partial answer held over pass-through comes out when parsing resumes",
                 "held " + Shown(end.substr(0, held)) + "; got " + Shown(cleanGot));
        held = 0;
        if (!s.terminalMode.load()) break;
    }

    if (!IsSubsequence(got, sent))
        Fail("every byte a client gets was sent by the radio, in order", "sent " + Shown(sent) + "\ngot " + Shown(got));

    // Without identity 19 (and no answer that could switch to it) the reader never passes bytes
    // through raw: answers arrive at the client exactly as the radio cut them.
    if (model == brenlow::kCorrin && sent.find("ID") == std::string::npos) {
        const auto want = Segments(sent), have = Segments(got);
        if (want.size() != have.size())
            Fail("every answer reaches the client", std::to_string(want.size()) + " answers sent, " +
                                                        std::to_string(have.size()) + " relayed\nsent " + Shown(sent) +
                                                        "\ngot " + Shown(got));
        for (std::size_t i = 0; i < want.size(); ++i) {
            const std::string& w = want[i];
            const std::string& h = have[i];
            const bool whole = h == w;
            const bool newestPart = w.size() > kLongestKept && h.size() <= w.size() &&
                                    w.compare(w.size() - h.size(), h.size(), h) == 0;
            if (!whole && !newestPart)
                Fail("answers are relayed whole", "answer " + std::to_string(i) + " sent " + Shown(w) + " relayed " +
                                                      Shown(h));
        }
    }

    for (const fuzzsupport::Posted& p : rig->window.Take())
        if (p.code < 4096 || p.code > 4218) Fail("answers post answer event codes only", std::to_string(p.code));
    return 0;
}
