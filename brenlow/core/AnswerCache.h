// The answer cache: one entry per radio answer command, filled by the answer parsers on the
// reader thread, read by the accessors and emptied by the query encoders on the host's thread.
// Every access goes through RadioState::cacheLock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace brenlow {

// Cache entries in cache order, first AC, last XT. SS is the identity-19 entry; the identity-20
// SS table has storage of its own (AnswerCache::ssTable).
#define BRENLOW_ANSWERS(X)                                                                         \
    X(AC) X(AG) X(AI) X(AL) X(AM) X(AN) X(AR) X(AS) X(BC) X(BP) X(BY) X(CA) X(CG) X(CM) X(CN)      \
    X(CR) X(CT) X(DC) X(DL) X(DQ) X(EX) X(FA) X(FB) X(FC) X(FD) X(FR) X(FS) X(FT) X(FW) X(GT)      \
    X(ID) X(IF) X(IS) X(KS) X(KY) X(LK) X(LM) X(LT) X(MC) X(MD) X(ME) X(MF) X(MG) X(ML) X(MO)      \
    X(MR) X(MU) X(NB) X(NL) X(NR) X(NT) X(OF) X(OI) X(OP) X(OS) X(PA) X(PB) X(PC) X(PK) X(PL)      \
    X(PM) X(PR) X(PS) X(QC) X(QR) X(RA) X(RD) X(RG) X(RL) X(RM) X(RS) X(RT) X(RU) X(RX) X(SA)      \
    X(SB) X(SC) X(SD) X(SH) X(SL) X(SM) X(SQ) X(SS) X(ST) X(SU) X(TC) X(TI) X(TN) X(TO) X(TS)      \
    X(TX) X(TY) X(UL) X(VD) X(VG) X(VX) X(XI) X(XO) X(XT)

enum class Answer : std::uint8_t {
#define BRENLOW_ANSWER_ENUM(name) name,
    BRENLOW_ANSWERS(BRENLOW_ANSWER_ENUM)
#undef BRENLOW_ANSWER_ENUM
    Count
};
inline constexpr std::size_t kAnswerCount = static_cast<std::size_t>(Answer::Count);

inline constexpr std::size_t kMaxValues = 14;   // IF and OI carry fourteen numbers
inline constexpr std::size_t kMaxTexts = 4;     // PK carries four texts
inline constexpr std::size_t kTextStorage = 40; // the largest text field; each field's own size bounds it

// An entry of an answer without an index: the valid flag, then numbers and texts in cache order.
struct AnswerEntry {
    std::uint32_t valid;
    std::uint32_t notified;  // FA, FB, FC: notification posted and not yet read
    std::uint32_t value[kMaxValues];
    char text[kMaxTexts][kTextStorage];
};

// AG, AR, SQ (two indexes), SM (four) and RM (ten, one valid flag for the whole entry).
inline constexpr std::size_t kMaxIndexes = 10;
struct IndexedEntry {
    std::uint32_t valid;  // RM only
    std::uint32_t validAt[kMaxIndexes];
    std::uint32_t notified[kMaxIndexes];  // SM and RM
    std::uint32_t current;
    std::uint32_t value[kMaxIndexes][2];
};

// One slot of the identity-20 SS table.
inline constexpr std::size_t kSsTableSize = 10;
struct TableSlot {
    std::uint32_t valid;
    char text[20];
};

struct AnswerCache {
    AnswerEntry entry[kAnswerCount];
    IndexedEntry ag, ar, sq, sm, rm;
    AnswerEntry mrSlot[2];
    TableSlot ssTable[kSsTableSize][kSsTableSize];

    AnswerEntry& operator[](Answer a) { return entry[static_cast<std::size_t>(a)]; }
    const AnswerEntry& operator[](Answer a) const { return entry[static_cast<std::size_t>(a)]; }

    // The index storage of AG, AR, SQ, SM and RM; null for every other entry.
    IndexedEntry* Indexed(Answer a) {
        switch (a) {
        case Answer::AG: return &ag;
        case Answer::AR: return &ar;
        case Answer::SQ: return &sq;
        case Answer::SM: return &sm;
        case Answer::RM: return &rm;
        default: return nullptr;
        }
    }

    void Clear() { std::memset(static_cast<void*>(this), 0, sizeof(*this)); }
    // Empties one entry: flag, numbers, texts (and its index storage).
    void Clear(Answer a) {
        std::memset(static_cast<void*>(&(*this)[a]), 0, sizeof(AnswerEntry));
        if (IndexedEntry* ix = Indexed(a)) std::memset(static_cast<void*>(ix), 0, sizeof(IndexedEntry));
    }
};

}  // namespace brenlow
