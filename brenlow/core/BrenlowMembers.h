// The families of CBrenlow members, each listed once: the class declaration, the entry points in the
// cat and server layers and the tests' completeness lists are all built from these lists.
// Every line is X(name, how, parameters, arguments): the member is Conn<name> or RcvData<name>,
// `how` says what defines it, `arguments` are what its entry point passes on.
#pragma once

#define BRENLOW_UNPACK(...) __VA_ARGS__

// Command encoders, int Conn<name>(parameters). how: Table, an entry point to the encoder table's
// row `name`, passing the mode (nullptr for members without one) and the parameters; Own, a member
// with a routine of its own (arguments unused).
#define BRENLOW_MODE_AND_NUMBER(X, name) X(name, Table, (const char* mode, unsigned p1), (mode, p1))
#define BRENLOW_NO_PARAMETER(X, name) X(name, Table, (), (nullptr))
#define BRENLOW_ENCODERS(X)                                                                                  \
    /* Mode string and one number */                                                                         \
    BRENLOW_MODE_AND_NUMBER(X, AI) BRENLOW_MODE_AND_NUMBER(X, AL) BRENLOW_MODE_AND_NUMBER(X, AM)             \
    BRENLOW_MODE_AND_NUMBER(X, AN) BRENLOW_MODE_AND_NUMBER(X, BC) BRENLOW_MODE_AND_NUMBER(X, BP)             \
    BRENLOW_MODE_AND_NUMBER(X, CA) BRENLOW_MODE_AND_NUMBER(X, CG) BRENLOW_MODE_AND_NUMBER(X, CM)             \
    BRENLOW_MODE_AND_NUMBER(X, CN) BRENLOW_MODE_AND_NUMBER(X, CT) BRENLOW_MODE_AND_NUMBER(X, DQ)             \
    BRENLOW_MODE_AND_NUMBER(X, FR) BRENLOW_MODE_AND_NUMBER(X, FS) BRENLOW_MODE_AND_NUMBER(X, FT)             \
    BRENLOW_MODE_AND_NUMBER(X, FW) BRENLOW_MODE_AND_NUMBER(X, GT) BRENLOW_MODE_AND_NUMBER(X, KS)             \
    BRENLOW_MODE_AND_NUMBER(X, LM) BRENLOW_MODE_AND_NUMBER(X, LT) BRENLOW_MODE_AND_NUMBER(X, MD)             \
    BRENLOW_MODE_AND_NUMBER(X, MF) BRENLOW_MODE_AND_NUMBER(X, MG) BRENLOW_MODE_AND_NUMBER(X, ML)             \
    BRENLOW_MODE_AND_NUMBER(X, MO) BRENLOW_MODE_AND_NUMBER(X, NB) BRENLOW_MODE_AND_NUMBER(X, NL)             \
    BRENLOW_MODE_AND_NUMBER(X, NR) BRENLOW_MODE_AND_NUMBER(X, NT) BRENLOW_MODE_AND_NUMBER(X, OF)             \
    BRENLOW_MODE_AND_NUMBER(X, OS) BRENLOW_MODE_AND_NUMBER(X, PA) BRENLOW_MODE_AND_NUMBER(X, PB)             \
    BRENLOW_MODE_AND_NUMBER(X, PC) BRENLOW_MODE_AND_NUMBER(X, PM) BRENLOW_MODE_AND_NUMBER(X, PR)             \
    BRENLOW_MODE_AND_NUMBER(X, PS) BRENLOW_MODE_AND_NUMBER(X, QC) BRENLOW_MODE_AND_NUMBER(X, RA)             \
    BRENLOW_MODE_AND_NUMBER(X, RD) BRENLOW_MODE_AND_NUMBER(X, RG) BRENLOW_MODE_AND_NUMBER(X, RL)             \
    BRENLOW_MODE_AND_NUMBER(X, RM) BRENLOW_MODE_AND_NUMBER(X, RT) BRENLOW_MODE_AND_NUMBER(X, RU)             \
    BRENLOW_MODE_AND_NUMBER(X, SB) BRENLOW_MODE_AND_NUMBER(X, SC) BRENLOW_MODE_AND_NUMBER(X, SD)             \
    BRENLOW_MODE_AND_NUMBER(X, SH) BRENLOW_MODE_AND_NUMBER(X, SL) BRENLOW_MODE_AND_NUMBER(X, SS)             \
    BRENLOW_MODE_AND_NUMBER(X, ST) BRENLOW_MODE_AND_NUMBER(X, TN) BRENLOW_MODE_AND_NUMBER(X, TO)             \
    BRENLOW_MODE_AND_NUMBER(X, TS) BRENLOW_MODE_AND_NUMBER(X, VD) BRENLOW_MODE_AND_NUMBER(X, VG)             \
    BRENLOW_MODE_AND_NUMBER(X, VX) BRENLOW_MODE_AND_NUMBER(X, XT)                                            \
    /* Mode string and several parameters */                                                                 \
    X(AC, Table, (const char* mode, unsigned p1, unsigned p2, unsigned p3), (mode, p1, p2, p3))              \
    X(AG, Table, (const char* mode, unsigned p1, unsigned p2), (mode, p1, p2))                               \
    X(AR, Table, (const char* mode, unsigned p1, unsigned p2, unsigned p3), (mode, p1, p2, p3))              \
    X(AS, Table, (const char* mode, unsigned p1, unsigned p2, const unsigned char* freq, unsigned p4),       \
      (mode, p1, p2, freq, p4))                                                                              \
    X(CR, Table, (const char* mode, unsigned p1, unsigned p2), (mode, p1, p2))                               \
    X(DC, Table, (const char* mode, unsigned p1, unsigned p2), (mode, p1, p2))                               \
    X(DL, Table, (const char* mode, unsigned p1, unsigned p2), (mode, p1, p2))                               \
    X(EX, Table,                                                                                             \
      (const char* mode, unsigned p1, unsigned p2, unsigned p3, unsigned p4, const unsigned char* text),     \
      (mode, p1, p2, p3, p4, text))                                                                          \
    X(FA, Table, (const char* mode, const unsigned char* freq), (mode, freq))                                \
    X(FB, Table, (const char* mode, const unsigned char* freq), (mode, freq))                                \
    X(FC, Table, (const char* mode, const unsigned char* freq), (mode, freq))                                \
    X(IS, Table, (const char* mode, const unsigned char* sign, unsigned p2), (mode, sign, p2))               \
    X(KY, Table, (const char* mode, const unsigned char* text), (mode, text))                                \
    X(LK, Table, (const char* mode, unsigned p1, unsigned p2), (mode, p1, p2))                               \
    X(LM2, Table, (const char* mode, unsigned p1, unsigned p2), (mode, p1, p2))                              \
    X(MC, Table, (const char* mode, unsigned p1, unsigned p2), (mode, p1, p2))                               \
    X(MU, Table,                                                                                             \
      (const char* mode, unsigned p1, unsigned p2, unsigned p3, unsigned p4, unsigned p5, unsigned p6,       \
       unsigned p7, unsigned p8, unsigned p9, unsigned p10),                                                 \
      (mode, p1, p2, p3, p4, p5, p6, p7, p8, p9, p10))                                                       \
    X(PL, Table, (const char* mode, unsigned p1, unsigned p2), (mode, p1, p2))                               \
    X(QR, Table, (const char* mode, unsigned p1, unsigned p2), (mode, p1, p2))                               \
    X(SA, Table,                                                                                             \
      (const char* mode, unsigned p1, unsigned p2, unsigned p3, unsigned p4, unsigned p5, unsigned p6,       \
       unsigned p7, const unsigned char* text),                                                              \
      (mode, p1, p2, p3, p4, p5, p6, p7, text))                                                              \
    X(SQ, Table, (const char* mode, unsigned p1, unsigned p2), (mode, p1, p2))                               \
    X(SS2, Table, (const char* mode, unsigned p1, unsigned p2, const unsigned char* freq),                   \
      (mode, p1, p2, freq))                                                                                  \
    X(SU, Table,                                                                                             \
      (const char* mode, unsigned p1, unsigned p2, unsigned p3, unsigned p4, unsigned p5, unsigned p6,       \
       unsigned p7, unsigned p8, unsigned p9, unsigned p10, unsigned p11),                                   \
      (mode, p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11))                                                  \
    X(TC, Own, (const char* mode, unsigned p1, unsigned p2), ())                                             \
    X(XO, Table, (const char* mode, unsigned p1, const unsigned char* freq), (mode, p1, freq))               \
    /* Set only */                                                                                           \
    X(CH, Table, (unsigned p1), (nullptr, p1))                                                               \
    X(DN, Table, (unsigned p1), (nullptr, p1))                                                               \
    X(MR, Table, (unsigned p1, unsigned p2, unsigned p3), (nullptr, p1, p2, p3))                             \
    X(MW, Table,                                                                                             \
      (unsigned p1, unsigned p2, unsigned p3, const unsigned char* freq, unsigned p5, unsigned p6,           \
       unsigned p7, unsigned p8, unsigned p9, unsigned p10, unsigned p11, unsigned p12, unsigned p13,        \
       unsigned p14, unsigned p15, const unsigned char* name),                                               \
      (nullptr, p1, p2, p3, freq, p5, p6, p7, p8, p9, p10, p11, p12, p13, p14, p15, name))                   \
    X(PI, Table, (unsigned p1), (nullptr, p1))                                                               \
    X(SI, Table, (unsigned p1, const unsigned char* text), (nullptr, p1, text))                              \
    X(SM, Table, (unsigned p1), (nullptr, p1))                                                               \
    X(SR, Table, (unsigned p1), (nullptr, p1))                                                               \
    X(TD, Table, (unsigned p1), (nullptr, p1))                                                               \
    X(TX2, Table, (unsigned p1), (nullptr, p1))                                                              \
    X(UP, Table, (unsigned p1), (nullptr, p1))                                                               \
    X(UR, Table, (const unsigned char* text), (nullptr, text))                                               \
    X(UT, Table, (const unsigned char* text), (nullptr, text))                                               \
    X(VR, Table, (unsigned p1), (nullptr, p1))                                                               \
    /* No parameters; ID, the identity query, empties the identity (Identification.cpp) */                   \
    BRENLOW_NO_PARAMETER(X, BD) BRENLOW_NO_PARAMETER(X, BU) BRENLOW_NO_PARAMETER(X, BY)                      \
    BRENLOW_NO_PARAMETER(X, CI) BRENLOW_NO_PARAMETER(X, FD) X(ID, Own, (), ())                               \
    BRENLOW_NO_PARAMETER(X, IF) BRENLOW_NO_PARAMETER(X, ME) BRENLOW_NO_PARAMETER(X, OI)                      \
    BRENLOW_NO_PARAMETER(X, OP) BRENLOW_NO_PARAMETER(X, QI) BRENLOW_NO_PARAMETER(X, RC)                      \
    BRENLOW_NO_PARAMETER(X, RS) BRENLOW_NO_PARAMETER(X, RX) BRENLOW_NO_PARAMETER(X, SV)                      \
    BRENLOW_NO_PARAMETER(X, TI) BRENLOW_NO_PARAMETER(X, TX) BRENLOW_NO_PARAMETER(X, TY)                      \
    BRENLOW_NO_PARAMETER(X, VV) BRENLOW_NO_PARAMETER(X, XI)

// Answer accessors, int RcvData<name>(parameters). how: Entry, an entry point to the accessor
// table's row `name`; Slot, the same for a row whose first arguments name an indexed slot (passed
// as two numbers, the second 0 where there is one); Own, a member with a routine of its own.
#define BRENLOW_ONE_VALUE(X, name) X(name, Entry, (unsigned* p1), (p1))
#define BRENLOW_TWO_VALUES(X, name) X(name, Entry, (unsigned* p1, unsigned* p2), (p1, p2))
#define BRENLOW_THREE_VALUES(X, name) X(name, Entry, (unsigned* p1, unsigned* p2, unsigned* p3), (p1, p2, p3))
// IF and OI: the frequency text, then fourteen numbers.
#define BRENLOW_STATUS_VALUES(X, name)                                                                       \
    X(name, Entry,                                                                                           \
      (unsigned char* freq, unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned* p5,            \
       unsigned* p6, unsigned* p7, unsigned* p8, unsigned* p9, unsigned* p10, unsigned* p11, unsigned* p12,  \
       unsigned* p13, unsigned* p14),                                                                        \
      (freq, p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11, p12, p13, p14))
#define BRENLOW_ACCESSORS(X)                                                                                 \
    BRENLOW_THREE_VALUES(X, AC)                                                                              \
    X(AG, Slot, (unsigned index, unsigned* p1), (index, 0, p1))                                              \
    BRENLOW_ONE_VALUE(X, AI) BRENLOW_ONE_VALUE(X, AL) BRENLOW_ONE_VALUE(X, AM) BRENLOW_ONE_VALUE(X, AN)      \
    X(AR, Slot, (unsigned index, unsigned* p1, unsigned* p2), (index, 0, p1, p2))                            \
    X(AS, Entry, (unsigned* p1, unsigned* p2, unsigned char* freq, unsigned* p4), (p1, p2, freq, p4))        \
    BRENLOW_ONE_VALUE(X, BC) BRENLOW_ONE_VALUE(X, BP) BRENLOW_TWO_VALUES(X, BY) BRENLOW_ONE_VALUE(X, CA)     \
    BRENLOW_ONE_VALUE(X, CG) BRENLOW_ONE_VALUE(X, CM) BRENLOW_ONE_VALUE(X, CN) BRENLOW_THREE_VALUES(X, CR)   \
    BRENLOW_ONE_VALUE(X, CT) BRENLOW_TWO_VALUES(X, DC) BRENLOW_TWO_VALUES(X, DL) BRENLOW_ONE_VALUE(X, DQ)    \
    X(EX, Entry, (unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned char* text),              \
      (p1, p2, p3, p4, text))                                                                                \
    X(FA, Entry, (unsigned char* freq), (freq))                                                              \
    X(FB, Entry, (unsigned char* freq), (freq))                                                              \
    X(FC, Entry, (unsigned char* freq), (freq))                                                              \
    X(FD, Entry, (unsigned char* text), (text))                                                              \
    BRENLOW_ONE_VALUE(X, FR) BRENLOW_ONE_VALUE(X, FS) BRENLOW_ONE_VALUE(X, FT) BRENLOW_ONE_VALUE(X, FW)      \
    BRENLOW_ONE_VALUE(X, GT)                                                                                 \
    X(ID, Own, (unsigned* id), ())                                                                           \
    BRENLOW_STATUS_VALUES(X, IF)                                                                             \
    X(IS, Entry, (unsigned char* sign, unsigned* p1), (sign, p1))                                            \
    BRENLOW_ONE_VALUE(X, KS) BRENLOW_ONE_VALUE(X, KY) BRENLOW_TWO_VALUES(X, LK) BRENLOW_ONE_VALUE(X, LM)     \
    BRENLOW_THREE_VALUES(X, LM2) BRENLOW_ONE_VALUE(X, LT) BRENLOW_TWO_VALUES(X, MC) BRENLOW_ONE_VALUE(X, MD) \
    BRENLOW_THREE_VALUES(X, ME) BRENLOW_ONE_VALUE(X, MF) BRENLOW_ONE_VALUE(X, MG) BRENLOW_ONE_VALUE(X, ML)   \
    BRENLOW_ONE_VALUE(X, MO)                                                                                 \
    X(MR, Slot,                                                                                              \
      (unsigned slot, unsigned* p1, unsigned* p2, unsigned char* freq, unsigned* p4, unsigned* p5,           \
       unsigned* p6, unsigned* p7, unsigned* p8, unsigned* p9, unsigned* p10, unsigned* p11, unsigned* p12,  \
       unsigned* p13, unsigned* p14, unsigned char* name),                                                   \
      (slot, 0, p1, p2, freq, p4, p5, p6, p7, p8, p9, p10, p11, p12, p13, p14, name))                        \
    X(MU, Entry,                                                                                             \
      (unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned* p5, unsigned* p6, unsigned* p7,     \
       unsigned* p8, unsigned* p9, unsigned* p10),                                                           \
      (p1, p2, p3, p4, p5, p6, p7, p8, p9, p10))                                                             \
    BRENLOW_ONE_VALUE(X, NB) BRENLOW_ONE_VALUE(X, NL) BRENLOW_ONE_VALUE(X, NR) BRENLOW_ONE_VALUE(X, NT)      \
    BRENLOW_ONE_VALUE(X, OF)                                                                                 \
    BRENLOW_STATUS_VALUES(X, OI)                                                                             \
    BRENLOW_THREE_VALUES(X, OP) BRENLOW_ONE_VALUE(X, OS) BRENLOW_TWO_VALUES(X, PA) BRENLOW_ONE_VALUE(X, PB)  \
    BRENLOW_THREE_VALUES(X, PB2) BRENLOW_ONE_VALUE(X, PC)                                                    \
    X(PK, Entry, (unsigned char* t1, unsigned char* t2, unsigned char* t3, unsigned char* t4),               \
      (t1, t2, t3, t4))                                                                                      \
    BRENLOW_TWO_VALUES(X, PL) BRENLOW_ONE_VALUE(X, PM) BRENLOW_ONE_VALUE(X, PR) BRENLOW_ONE_VALUE(X, PS)     \
    BRENLOW_ONE_VALUE(X, QC) BRENLOW_TWO_VALUES(X, QR) BRENLOW_TWO_VALUES(X, RA) BRENLOW_ONE_VALUE(X, RD)    \
    BRENLOW_ONE_VALUE(X, RG) BRENLOW_ONE_VALUE(X, RL) BRENLOW_TWO_VALUES(X, RM)                              \
    X(RM2, Slot, (unsigned index, unsigned* p1), (index, 0, p1))                                             \
    BRENLOW_ONE_VALUE(X, RS) BRENLOW_ONE_VALUE(X, RT) BRENLOW_ONE_VALUE(X, RU) BRENLOW_ONE_VALUE(X, RX)      \
    X(SA, Entry,                                                                                             \
      (unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned* p5, unsigned* p6, unsigned* p7,     \
       unsigned char* text),                                                                                 \
      (p1, p2, p3, p4, p5, p6, p7, text))                                                                    \
    BRENLOW_ONE_VALUE(X, SB) BRENLOW_ONE_VALUE(X, SC) BRENLOW_TWO_VALUES(X, SC2) BRENLOW_ONE_VALUE(X, SD)    \
    BRENLOW_ONE_VALUE(X, SH) BRENLOW_ONE_VALUE(X, SL)                                                        \
    X(SM, Slot, (unsigned index, unsigned* p1), (index, 0, p1))                                              \
    X(SQ, Slot, (unsigned index, unsigned* p1), (index, 0, p1))                                              \
    BRENLOW_ONE_VALUE(X, SS)                                                                                 \
    X(SS2, Slot, (unsigned first, unsigned second, unsigned char* text), (first, second, text))              \
    BRENLOW_ONE_VALUE(X, ST)                                                                                 \
    X(SU, Entry,                                                                                             \
      (unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned* p5, unsigned* p6, unsigned* p7,     \
       unsigned* p8, unsigned* p9, unsigned* p10, unsigned* p11),                                            \
      (p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11))                                                        \
    BRENLOW_TWO_VALUES(X, TC) BRENLOW_THREE_VALUES(X, TI) BRENLOW_ONE_VALUE(X, TN) BRENLOW_ONE_VALUE(X, TO)  \
    BRENLOW_ONE_VALUE(X, TS) BRENLOW_ONE_VALUE(X, TX)                                                        \
    /* bit 0 to bit 7, then the digit after them */                                                          \
    X(TY, Entry,                                                                                             \
      (unsigned* b0, unsigned* b1, unsigned* b2, unsigned* b3, unsigned* b4, unsigned* b5, unsigned* b6,     \
       unsigned* b7, unsigned* p9),                                                                          \
      (b0, b1, b2, b3, b4, b5, b6, b7, p9))                                                                  \
    BRENLOW_ONE_VALUE(X, UL) BRENLOW_ONE_VALUE(X, VD) BRENLOW_ONE_VALUE(X, VG) BRENLOW_ONE_VALUE(X, VX)      \
    X(XI, Entry, (unsigned char* freq, unsigned* p1, unsigned* p2), (freq, p1, p2))                          \
    X(XO, Entry, (unsigned* p1, unsigned char* freq), (p1, freq))                                            \
    BRENLOW_ONE_VALUE(X, XT)                                                                                 \
    /* The session clock: elapsed hours, minutes, seconds, then the limit's (ServerCommands.cpp) */          \
    X(VEXA_ST, Own,                                                                                          \
      (unsigned* elapsedHours, unsigned* elapsedMinutes, unsigned* elapsedSeconds, unsigned* limitHours,     \
       unsigned* limitMinutes, unsigned* limitSeconds),                                                      \
      ())

// The first letters that have an answer parser ConstituteData<letter> and a notifier
// WinMsgSendEx<letter>, in router order A to X; no radio answer begins with H, J or W.
#define BRENLOW_ANSWER_LETTERS(EACH)                                                                        \
    EACH(A) EACH(B) EACH(C) EACH(D) EACH(E) EACH(F) EACH(G) EACH(I) EACH(K) EACH(L) EACH(M) EACH(N) EACH(O) \
    EACH(P) EACH(Q) EACH(R) EACH(S) EACH(T) EACH(U) EACH(V) EACH(X)
