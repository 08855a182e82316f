// Harness of the command tables: a simulated radio on a real pseudo-terminal as the library's
// serial port, the exact bytes one call puts on the line, and the answer cache entries it changes.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "RadioSim.h"
#include "RadioState.h"
#include "TestSupport.h"

namespace cmdtest {

inline constexpr unsigned kDun = 19;
inline constexpr unsigned kCor = 20;

inline const unsigned char* U(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

// One encoder call on one model: what the radio receives (nothing when refused), the cache
// entries it empties, and its result.
struct Case {
    unsigned model;
    const char* call;
    int (*run)(CBrenlow&);
    std::optional<std::string> bytes;
    const char* clears = "";
    int result = -1;  // -1: non-zero when bytes are written, 0 when refused
};
inline const std::optional<std::string> kRefused;

// The call as written names the row and runs it.
#define CALL(...) #__VA_ARGS__, [](CBrenlow& b) { return b.__VA_ARGS__; }

// Every encoder case of the tables; defined with them.
const std::vector<Case>& EncoderCases();

// One accessor call: the answers parsed under one identity, the identity the call runs under,
// and what it returns and hands out. Numbers are rendered in output order, then texts in quotes;
// an output the call left untouched is not rendered.
using Texts = unsigned char (*)[64];
struct ReadCase {
    unsigned parsedAs;
    unsigned readAs;
    const char* answers;  // without the last ";"
    const char* call;
    int (*run)(CBrenlow&, unsigned*, Texts);
    int result;
    const char* outputs;
    const char* changes = "";  // cache parts the call changed (notified flags it re-armed)
};

#define READ(...) #__VA_ARGS__, [](CBrenlow& b, unsigned* n, Texts t) { return b.__VA_ARGS__; }

// Every accessor case; defined with them.
const std::vector<ReadCase>& AccessorCases();

// The member named by a call text such as ConnAI("W", 2).
inline std::string MemberOf(const char* call) {
    std::string s(call);
    return s.substr(0, s.find('('));
}

// Which parts of the cache differ, in cache order: "AI", "AG[1]", "MR[0]", "SS[3][4]", and
// "RM[*]" when every slot of an indexed entry changed.
inline std::string ChangedEntries(const brenlow::AnswerCache& a, const brenlow::AnswerCache& b) {
    static const char* const kNames[] = {
#define CMDTEST_NAME(x) #x,
        BRENLOW_ANSWERS(CMDTEST_NAME)
#undef CMDTEST_NAME
    };
    using brenlow::Answer;
    auto differs = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) != 0; };
    std::vector<std::string> out;
    auto add = [&](const std::string& name) {
        if (out.empty() || out.back() != name) out.push_back(name);
    };
    auto indexed = [&](const std::string& name, const brenlow::IndexedEntry& x, const brenlow::IndexedEntry& y) {
        if (x.valid != y.valid || x.current != y.current) add(name);
        std::vector<std::string> slots;
        for (std::size_t i = 0; i < brenlow::kMaxIndexes; ++i)
            if (x.validAt[i] != y.validAt[i] || x.notified[i] != y.notified[i] || differs(x.value[i], y.value[i]))
                slots.push_back(name + "[" + std::to_string(i) + "]");
        if (slots.size() == brenlow::kMaxIndexes)
            add(name + "[*]");
        else
            for (const auto& s : slots) add(s);
    };
    for (std::size_t i = 0; i < brenlow::kAnswerCount; ++i) {
        const std::string name = kNames[i];
        if (differs(a.entry[i], b.entry[i])) add(name);
        switch (static_cast<Answer>(i)) {
        case Answer::AG: indexed(name, a.ag, b.ag); break;
        case Answer::AR: indexed(name, a.ar, b.ar); break;
        case Answer::SQ: indexed(name, a.sq, b.sq); break;
        case Answer::SM: indexed(name, a.sm, b.sm); break;
        case Answer::RM: indexed(name, a.rm, b.rm); break;
        case Answer::MR:
            for (int s = 0; s < 2; ++s)
                if (differs(a.mrSlot[s], b.mrSlot[s])) add("MR[" + std::to_string(s) + "]");
            break;
        case Answer::SS:
            for (std::size_t x = 0; x < brenlow::kSsTableSize; ++x)
                for (std::size_t y = 0; y < brenlow::kSsTableSize; ++y)
                    if (differs(a.ssTable[x][y], b.ssTable[x][y]))
                        add("SS[" + std::to_string(x) + "][" + std::to_string(y) + "]");
            break;
        default: break;
        }
    }
    std::string joined;
    for (const auto& s : out) joined += (joined.empty() ? "" : " ") + s;
    return joined;
}

inline brenlow::AnswerCache Snapshot() {
    brenlow::RadioState& s = brenlow::State();
    std::scoped_lock g(s.cacheLock);
    return s.cache;
}

// Every byte of the cache set, so that any clear shows; the cached SC value is non-zero.
inline void FillCache() {
    brenlow::RadioState& s = brenlow::State();
    std::scoped_lock g(s.cacheLock);
    std::memset(static_cast<void*>(&s.cache), 0x5A, sizeof s.cache);
}

inline void ResetState() {
    brenlow::RadioState& s = brenlow::State();
    {
        std::scoped_lock g(s.cacheLock);
        s.cache.Clear();
    }
    s.modelId = 0;
    s.terminalMode = 0;
}

// The simulated radio on its pty, opened by the library as port 1 with the identity preset.
class RadioLine {
public:
    explicit RadioLine(unsigned id, radiosim::Options options = Silent()) {
        options.id = id;
        sim = std::make_unique<radiosim::RadioSim>(options);
        started_ = sim->Start();
        EXPECT_TRUE(started_);
        CBrenlow::SetComPortPath(1, sim->SlavePath().c_str());
        opened_ = radio.RadioConnectionOpen(id, 1, 9600, 1) == 1;
        EXPECT_TRUE(opened_);
    }
    ~RadioLine() {
        radio.RadioConnectionClose();
        ResetState();
    }
    RadioLine(const RadioLine&) = delete;
    RadioLine& operator=(const RadioLine&) = delete;

    static radiosim::Options Silent() {
        radiosim::Options o;
        o.silent = true;
        return o;
    }

    bool Ready() const { return started_ && opened_; }

    // The radio announces another identity; returns once the reader has parsed it.
    bool Identify(unsigned id) {
        brenlow::RadioState& s = brenlow::State();
        if (s.modelId.load() == id) return true;
        sim->Inject("ID" + std::string(id < 10 ? "00" : "0") + std::to_string(id) + ";");
        return testsupport::WaitUntil([&] { return s.modelId.load() == id; }, 5000);
    }

    // What the radio received during `action`. A marker written after it bounds the capture,
    // since the line keeps the order of writes.
    std::string Capture(const std::function<void()>& action) {
        static const std::string kMarker = "#;";
        sim->ClearReceived();
        action();
        if (radio.ConnDirect(U(kMarker.c_str())) == 0) return "<marker not written>";
        if (!sim->WaitReceived(kMarker, 5000)) return "<marker not received>";
        std::string got = sim->Received();
        std::size_t at = got.rfind(kMarker);
        return got.substr(0, at);
    }

    testsupport::TestBrenlow radio;
    std::unique_ptr<radiosim::RadioSim> sim;

private:
    bool started_ = false;
    bool opened_ = false;
};

// Printable form of a byte string for failure messages.
inline std::string Visible(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c < 32)
            out += "\\x" + std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15];
        else
            out += static_cast<char>(c);
    }
    return out;
}

}  // namespace cmdtest
