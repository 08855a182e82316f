// The serial link and its reader thread: opening and closing the link, and the reader, which cuts
// the serial byte stream into answers at the last ";", routes each answer to the parser of its first
// letter, and relays the same bytes to the relay sink (a logged-in client). In terminal pass-through
// mode it parses nothing and relays raw bytes.
#include <array>
#include <cstring>
#include <mutex>

#include "Brenlow.h"
#include "Framer.h"
#include "RadioState.h"

using brenlow::RadioState;

namespace {

constexpr std::size_t kBufferSize = brenlow::Framer::kSize;
constexpr std::size_t kAnswerSize = 256;
constexpr int kNoLimit = -1;  // data, or Wake() from the close, ends the wait

}  // namespace

int CBrenlow::RadioConnectionOpen(unsigned modelId, unsigned port, unsigned baud, int reset) {
    RadioState& s = brenlow::State();
    // A second open on a running link would start a second reader on the same record.
    if (s.comThreadAlive.load() || s.comPortOpen.load()) return 0;
    if (s.comThread.joinable()) s.comThread.join();
    unsigned stopBits = baud == 4800 ? 2 : 1;
    if (!s.serialPort.OpenComPort(port, baud, 0, 8, stopBits, reset)) return 0;
    s.comPortOpen = 1;
    s.terminalMode = 0;
    s.clientKeyedTransmitter = 0;
    if (reset) {
        std::scoped_lock g(s.cacheLock);
        s.cache.Clear();
        s.modelId = modelId;
    }
    s.comThreadRun = 1;
    s.comThreadAlive = 1;  // set before the start so that a close right after open waits for it
    s.comThread = std::thread([&s] { ThreadCom(&s); });
    comThread = &s.comThread;
    return 1;
}

void CBrenlow::RadioConnectionClose() {
    RadioState& s = brenlow::State();
    if (!s.comThreadAlive.load()) return;
    s.comThreadRun = 0;
    s.serialPort.Wake();
    brenlow::StopWorker(s.comThreadAlive, s.comThread, 100, 10);
    brenlow::SleepMs(100);
    s.comPortOpen = 0;
    s.serialPort.CloseComPort();
}

unsigned CBrenlow::ThreadCom(void* state) {
    RadioState& s = *static_cast<RadioState*>(state);
    unsigned char chunk[kBufferSize] = {};
    brenlow::Framer answers;
    s.comThreadAlive = 1;

    while (s.comThreadRun.load()) {
        if (s.serialPort.GetRcvDataLength() == 0) {
            s.serialPort.WaitRcvData(kNoLimit);
            continue;
        }
        std::memset(chunk, 0, sizeof chunk);
        if (!s.serialPort.GetRcvData(chunk)) continue;
        const std::size_t chunkLength = std::strlen(reinterpret_cast<char*>(chunk));
        brenlow::RelaySink& sink = *s.relay.load();

        // Raw radio data is the logged-in operator's alone, never a stranger's before login.
        if (s.terminalMode.load()) {
            if (sink.Relaying()) sink.Relay(chunk, chunkLength);
            continue;
        }
        // Only text without any ";" (noise) is ever dropped, oldest first.
        answers.Feed(chunk, chunkLength, brenlow::Framer::WhenFull::DropOldest, [&](unsigned char* block, std::size_t n) {
            // Decided before parsing: parsing the answer to a session's closing reset lets the next
            // client in, and these answers must not reach that client.
            const bool relay = sink.Relaying();
            ConstituteData(block, &s);
            if (relay) sink.Relay(block, n);
            return true;
        });
    }
    s.comThreadAlive = 0;
    return 0;
}

void CBrenlow::ConstituteData(const unsigned char* text, void* state) {
    using Parser = void (*)(const unsigned char*, void*);
    // Parsers by first letter, A to X; letters without answers have none.
    static constexpr std::array<Parser, 'X' - 'A' + 1> kParsers = [] {
        std::array<Parser, 'X' - 'A' + 1> parsers{};
#define BRENLOW_ROUTE(letter) parsers[#letter[0] - 'A'] = ConstituteData##letter;
        BRENLOW_ANSWER_LETTERS(BRENLOW_ROUTE)
#undef BRENLOW_ROUTE
        return parsers;
    }();

    unsigned char answer[kAnswerSize];
    const unsigned char* pos = text;
    while (const auto* end = reinterpret_cast<const unsigned char*>(std::strchr(reinterpret_cast<const char*>(pos), ';'))) {
        std::size_t length = static_cast<std::size_t>(end - pos);
        const unsigned char* start = pos;
        pos = end + 1;
        // The radio sends no answer this long; one that does not fit is skipped, not cut.
        if (length < 2 || length >= kAnswerSize) continue;
        std::memset(answer, 0, sizeof answer);
        std::memcpy(answer, start, length);
        unsigned char first = answer[0];
        if (first < 'A' || first > 'X') continue;
        if (Parser p = kParsers[first - 'A']) p(answer, state);
    }
}
