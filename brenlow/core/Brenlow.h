// CBrenlow: the radio control library's one exported class. Its members are thin entry points to
// the radio state block; every object sees the same radio, serial link and network server.
// Members report success as 1 (or a non-zero transport result) and failure as 0; nothing throws.
#pragma once

#include "Platform.h"

class CBrenlow {
public:
    CBrenlow();
    virtual ~CBrenlow();

    // ---- Library frame ------------------------------------------------------------------------
    int RadioConnectionOpen(unsigned modelId, unsigned port, unsigned baud, int reset);
    void RadioConnectionClose();
    int SocketServerOpen(unsigned port);
    void SocketServerClose();
    void WinMsgSendReg(brenlow::HostWindow* window);  // null unregisters
    void SetLoadMessageEnable(int enable);
    int ConnDirect(const unsigned char* text);
    static int FileExist(const char* path);
    static void GetDate(unsigned* year, unsigned* month, unsigned* day);
    static void GetTime(unsigned* hour, unsigned* minute, unsigned* second);
    static int GetClientExest();
    static int GetClientIP(char* text);
    int GetLocalIP(char* text);

    // ---- Host platform ------------------------------------------------------------------------
    static void SetComPortPath(unsigned port, const char* path);  // serial device of "COM" port n
    static void SetListenAddress(const char* address);            // TCP listen address, default all
    static void SetProfile(brenlow::Profile* profile);
    static void SetAlertSink(brenlow::AlertSink* sink);
    static void SetClock(brenlow::Clock* clock);                  // null: the steady clock
    static void WakeSessionThread();                              // re-reads the clock at once
    static std::string ComPortPath(unsigned port);                // the device "COM" port n opens
    static int LastComPortError();     // errno of the last RadioConnectionOpen that failed
    static int LastSocketError();      // errno of the last SocketServerOpen that failed to listen
    static int ClientKeyedTransmitter();  // 1 while a client's last transmit command was TX, not RX
    static void SetVoiceCapabilityCheck(int (*check)());          // GetVoiceEnable's machine test; null: none

    // ---- Radio identification -----------------------------------------------------------------
    int ConnID();
    int RcvDataID(unsigned* id);
    int GetRadioName(unsigned id, unsigned char* name);  // a 25-byte buffer always suffices

    // ---- Command encoders: mode string and one number -----------------------------------------
    int ConnAI(const char* mode, unsigned p1);
    int ConnAL(const char* mode, unsigned p1);
    int ConnAM(const char* mode, unsigned p1);
    int ConnAN(const char* mode, unsigned p1);
    int ConnBC(const char* mode, unsigned p1);
    int ConnBP(const char* mode, unsigned p1);
    int ConnCA(const char* mode, unsigned p1);
    int ConnCG(const char* mode, unsigned p1);
    int ConnCM(const char* mode, unsigned p1);
    int ConnCN(const char* mode, unsigned p1);
    int ConnCT(const char* mode, unsigned p1);
    int ConnDQ(const char* mode, unsigned p1);
    int ConnFR(const char* mode, unsigned p1);
    int ConnFS(const char* mode, unsigned p1);
    int ConnFT(const char* mode, unsigned p1);
    int ConnFW(const char* mode, unsigned p1);
    int ConnGT(const char* mode, unsigned p1);
    int ConnKS(const char* mode, unsigned p1);
    int ConnLM(const char* mode, unsigned p1);
    int ConnLT(const char* mode, unsigned p1);
    int ConnMD(const char* mode, unsigned p1);
    int ConnMF(const char* mode, unsigned p1);
    int ConnMG(const char* mode, unsigned p1);
    int ConnML(const char* mode, unsigned p1);
    int ConnMO(const char* mode, unsigned p1);
    int ConnNB(const char* mode, unsigned p1);
    int ConnNL(const char* mode, unsigned p1);
    int ConnNR(const char* mode, unsigned p1);
    int ConnNT(const char* mode, unsigned p1);
    int ConnOF(const char* mode, unsigned p1);
    int ConnOS(const char* mode, unsigned p1);
    int ConnPA(const char* mode, unsigned p1);
    int ConnPB(const char* mode, unsigned p1);
    int ConnPC(const char* mode, unsigned p1);
    int ConnPM(const char* mode, unsigned p1);
    int ConnPR(const char* mode, unsigned p1);
    int ConnPS(const char* mode, unsigned p1);
    int ConnQC(const char* mode, unsigned p1);
    int ConnRA(const char* mode, unsigned p1);
    int ConnRD(const char* mode, unsigned p1);
    int ConnRG(const char* mode, unsigned p1);
    int ConnRL(const char* mode, unsigned p1);
    int ConnRM(const char* mode, unsigned p1);
    int ConnRT(const char* mode, unsigned p1);
    int ConnRU(const char* mode, unsigned p1);
    int ConnSB(const char* mode, unsigned p1);
    int ConnSC(const char* mode, unsigned p1);
    int ConnSD(const char* mode, unsigned p1);
    int ConnSH(const char* mode, unsigned p1);
    int ConnSL(const char* mode, unsigned p1);
    int ConnSS(const char* mode, unsigned p1);
    int ConnST(const char* mode, unsigned p1);
    int ConnTN(const char* mode, unsigned p1);
    int ConnTO(const char* mode, unsigned p1);
    int ConnTS(const char* mode, unsigned p1);
    int ConnVD(const char* mode, unsigned p1);
    int ConnVG(const char* mode, unsigned p1);
    int ConnVX(const char* mode, unsigned p1);
    int ConnXT(const char* mode, unsigned p1);

    // ---- Command encoders: mode string and several parameters ---------------------------------
    int ConnAC(const char* mode, unsigned p1, unsigned p2, unsigned p3);
    int ConnAG(const char* mode, unsigned p1, unsigned p2);
    int ConnAR(const char* mode, unsigned p1, unsigned p2, unsigned p3);
    int ConnAS(const char* mode, unsigned p1, unsigned p2, const unsigned char* freq, unsigned p4);
    int ConnCR(const char* mode, unsigned p1, unsigned p2);
    int ConnDC(const char* mode, unsigned p1, unsigned p2);
    int ConnDL(const char* mode, unsigned p1, unsigned p2);
    int ConnEX(const char* mode, unsigned p1, unsigned p2, unsigned p3, unsigned p4, const unsigned char* text);
    int ConnFA(const char* mode, const unsigned char* freq);
    int ConnFB(const char* mode, const unsigned char* freq);
    int ConnFC(const char* mode, const unsigned char* freq);
    int ConnIS(const char* mode, const unsigned char* sign, unsigned p2);
    int ConnKY(const char* mode, const unsigned char* text);
    int ConnLK(const char* mode, unsigned p1, unsigned p2);
    int ConnLM2(const char* mode, unsigned p1, unsigned p2);
    int ConnMC(const char* mode, unsigned p1, unsigned p2);
    int ConnMU(const char* mode, unsigned p1, unsigned p2, unsigned p3, unsigned p4, unsigned p5, unsigned p6,
               unsigned p7, unsigned p8, unsigned p9, unsigned p10);
    int ConnPL(const char* mode, unsigned p1, unsigned p2);
    int ConnQR(const char* mode, unsigned p1, unsigned p2);
    int ConnSA(const char* mode, unsigned p1, unsigned p2, unsigned p3, unsigned p4, unsigned p5, unsigned p6,
               unsigned p7, const unsigned char* text);
    int ConnSQ(const char* mode, unsigned p1, unsigned p2);
    int ConnSS2(const char* mode, unsigned p1, unsigned p2, const unsigned char* freq);
    int ConnSU(const char* mode, unsigned p1, unsigned p2, unsigned p3, unsigned p4, unsigned p5, unsigned p6,
               unsigned p7, unsigned p8, unsigned p9, unsigned p10, unsigned p11);
    int ConnTC(const char* mode, unsigned p1, unsigned p2);
    int ConnXO(const char* mode, unsigned p1, const unsigned char* freq);

    // ---- Command encoders: set only -----------------------------------------------------------
    int ConnCH(unsigned p1);
    int ConnDN(unsigned p1);
    int ConnMR(unsigned p1, unsigned p2, unsigned p3);
    int ConnMW(unsigned p1, unsigned p2, unsigned p3, const unsigned char* freq, unsigned p5, unsigned p6,
               unsigned p7, unsigned p8, unsigned p9, unsigned p10, unsigned p11, unsigned p12, unsigned p13,
               unsigned p14, unsigned p15, const unsigned char* name);
    int ConnPI(unsigned p1);
    int ConnSI(unsigned p1, const unsigned char* text);
    int ConnSM(unsigned p1);
    int ConnSR(unsigned p1);
    int ConnTD(unsigned p1);
    int ConnTX2(unsigned p1);
    int ConnUP(unsigned p1);
    int ConnUR(const unsigned char* text);
    int ConnUT(const unsigned char* text);
    int ConnVR(unsigned p1);

    // ---- Command encoders: no parameters ------------------------------------------------------
    int ConnBD();
    int ConnBU();
    int ConnBY();
    int ConnCI();
    int ConnFD();
    int ConnIF();
    int ConnME();
    int ConnOI();
    int ConnOP();
    int ConnQI();
    int ConnRC();
    int ConnRS();
    int ConnRX();
    int ConnSV();
    int ConnTI();
    int ConnTX();
    int ConnTY();
    int ConnVV();
    int ConnXI();

    // ---- Answer accessors ---------------------------------------------------------------------
    int RcvDataAC(unsigned* p1, unsigned* p2, unsigned* p3);
    int RcvDataAG(unsigned index, unsigned* p1);
    int RcvDataAI(unsigned* p1);
    int RcvDataAL(unsigned* p1);
    int RcvDataAM(unsigned* p1);
    int RcvDataAN(unsigned* p1);
    int RcvDataAR(unsigned index, unsigned* p1, unsigned* p2);
    int RcvDataAS(unsigned* p1, unsigned* p2, unsigned char* freq, unsigned* p4);
    int RcvDataBC(unsigned* p1);
    int RcvDataBP(unsigned* p1);
    int RcvDataBY(unsigned* p1, unsigned* p2);
    int RcvDataCA(unsigned* p1);
    int RcvDataCG(unsigned* p1);
    int RcvDataCM(unsigned* p1);
    int RcvDataCN(unsigned* p1);
    int RcvDataCR(unsigned* p1, unsigned* p2, unsigned* p3);
    int RcvDataCT(unsigned* p1);
    int RcvDataDC(unsigned* p1, unsigned* p2);
    int RcvDataDL(unsigned* p1, unsigned* p2);
    int RcvDataDQ(unsigned* p1);
    int RcvDataEX(unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned char* text);
    int RcvDataFA(unsigned char* freq);
    int RcvDataFB(unsigned char* freq);
    int RcvDataFC(unsigned char* freq);
    int RcvDataFD(unsigned char* text);
    int RcvDataFR(unsigned* p1);
    int RcvDataFS(unsigned* p1);
    int RcvDataFT(unsigned* p1);
    int RcvDataFW(unsigned* p1);
    int RcvDataGT(unsigned* p1);
    int RcvDataIF(unsigned char* freq, unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned* p5,
                  unsigned* p6, unsigned* p7, unsigned* p8, unsigned* p9, unsigned* p10, unsigned* p11,
                  unsigned* p12, unsigned* p13, unsigned* p14);
    int RcvDataIS(unsigned char* sign, unsigned* p1);
    int RcvDataKS(unsigned* p1);
    int RcvDataKY(unsigned* p1);
    int RcvDataLK(unsigned* p1, unsigned* p2);
    int RcvDataLM(unsigned* p1);
    int RcvDataLM2(unsigned* p1, unsigned* p2, unsigned* p3);
    int RcvDataLT(unsigned* p1);
    int RcvDataMC(unsigned* p1, unsigned* p2);
    int RcvDataMD(unsigned* p1);
    int RcvDataME(unsigned* p1, unsigned* p2, unsigned* p3);
    int RcvDataMF(unsigned* p1);
    int RcvDataMG(unsigned* p1);
    int RcvDataML(unsigned* p1);
    int RcvDataMO(unsigned* p1);
    int RcvDataMR(unsigned slot, unsigned* p1, unsigned* p2, unsigned char* freq, unsigned* p4, unsigned* p5,
                  unsigned* p6, unsigned* p7, unsigned* p8, unsigned* p9, unsigned* p10, unsigned* p11,
                  unsigned* p12, unsigned* p13, unsigned* p14, unsigned char* name);
    int RcvDataMU(unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned* p5, unsigned* p6,
                  unsigned* p7, unsigned* p8, unsigned* p9, unsigned* p10);
    int RcvDataNB(unsigned* p1);
    int RcvDataNL(unsigned* p1);
    int RcvDataNR(unsigned* p1);
    int RcvDataNT(unsigned* p1);
    int RcvDataOF(unsigned* p1);
    int RcvDataOI(unsigned char* freq, unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned* p5,
                  unsigned* p6, unsigned* p7, unsigned* p8, unsigned* p9, unsigned* p10, unsigned* p11,
                  unsigned* p12, unsigned* p13, unsigned* p14);
    int RcvDataOP(unsigned* p1, unsigned* p2, unsigned* p3);
    int RcvDataOS(unsigned* p1);
    int RcvDataPA(unsigned* p1, unsigned* p2);
    int RcvDataPB(unsigned* p1);
    int RcvDataPB2(unsigned* p1, unsigned* p2, unsigned* p3);
    int RcvDataPC(unsigned* p1);
    int RcvDataPK(unsigned char* t1, unsigned char* t2, unsigned char* t3, unsigned char* t4);
    int RcvDataPL(unsigned* p1, unsigned* p2);
    int RcvDataPM(unsigned* p1);
    int RcvDataPR(unsigned* p1);
    int RcvDataPS(unsigned* p1);
    int RcvDataQC(unsigned* p1);
    int RcvDataQR(unsigned* p1, unsigned* p2);
    int RcvDataRA(unsigned* p1, unsigned* p2);
    int RcvDataRD(unsigned* p1);
    int RcvDataRG(unsigned* p1);
    int RcvDataRL(unsigned* p1);
    int RcvDataRM(unsigned* p1, unsigned* p2);
    int RcvDataRM2(unsigned index, unsigned* p1);
    int RcvDataRS(unsigned* p1);
    int RcvDataRT(unsigned* p1);
    int RcvDataRU(unsigned* p1);
    int RcvDataRX(unsigned* p1);
    int RcvDataSA(unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned* p5, unsigned* p6,
                  unsigned* p7, unsigned char* text);
    int RcvDataSB(unsigned* p1);
    int RcvDataSC(unsigned* p1);
    int RcvDataSC2(unsigned* p1, unsigned* p2);
    int RcvDataSD(unsigned* p1);
    int RcvDataSH(unsigned* p1);
    int RcvDataSL(unsigned* p1);
    int RcvDataSM(unsigned index, unsigned* p1);
    int RcvDataSQ(unsigned index, unsigned* p1);
    int RcvDataSS(unsigned* p1);
    int RcvDataSS2(unsigned first, unsigned second, unsigned char* text);
    int RcvDataST(unsigned* p1);
    int RcvDataSU(unsigned* p1, unsigned* p2, unsigned* p3, unsigned* p4, unsigned* p5, unsigned* p6,
                  unsigned* p7, unsigned* p8, unsigned* p9, unsigned* p10, unsigned* p11);
    int RcvDataTC(unsigned* p1, unsigned* p2);
    int RcvDataTI(unsigned* p1, unsigned* p2, unsigned* p3);
    int RcvDataTN(unsigned* p1);
    int RcvDataTO(unsigned* p1);
    int RcvDataTS(unsigned* p1);
    int RcvDataTX(unsigned* p1);
    int RcvDataTY(unsigned* b0, unsigned* b1, unsigned* b2, unsigned* b3, unsigned* b4, unsigned* b5,
                  unsigned* b6, unsigned* b7, unsigned* p9);
    int RcvDataUL(unsigned* p1);
    int RcvDataVD(unsigned* p1);
    int RcvDataVG(unsigned* p1);
    int RcvDataVX(unsigned* p1);
    int RcvDataXI(unsigned char* freq, unsigned* p1, unsigned* p2);
    int RcvDataXO(unsigned* p1, unsigned char* freq);
    int RcvDataXT(unsigned* p1);

    // ---- User accounts, access log, session -------------------------------------------------
    static int CheckVexaUserPassword(const char* userId, const char* password);
    static int ChangeUserPassword(const char* userId, const char* newPassword);
    static int GetUserDisabled(const char* userId);
    int GetUserDescription(const char* userId, char* description);  // buffer of at least 129 bytes
    static int GetVoiceEnable();
    static void VexaLogAdd(const char* text);
    int SonnVEXA_VE(unsigned value);
    int RcvDataVEXA_ST(unsigned* elapsedHours, unsigned* elapsedMinutes, unsigned* elapsedSeconds,
                       unsigned* limitHours, unsigned* limitMinutes, unsigned* limitSeconds);
    int GetLoginUserID(char* userId);  // buffer of at least 35 bytes

    // ---- Answer router (reader thread) --------------------------------------------------------
    static void ConstituteData(const unsigned char* text, void* state);

protected:
    int WriteCom(const unsigned char* data, unsigned long length);

    // Radio reader thread and the parsers it routes to, one per first letter.
    static unsigned ThreadCom(void* state);
    static void ConstituteDataA(const unsigned char* answer, void* state);
    static void ConstituteDataB(const unsigned char* answer, void* state);
    static void ConstituteDataC(const unsigned char* answer, void* state);
    static void ConstituteDataD(const unsigned char* answer, void* state);
    static void ConstituteDataE(const unsigned char* answer, void* state);
    static void ConstituteDataF(const unsigned char* answer, void* state);
    static void ConstituteDataG(const unsigned char* answer, void* state);
    static void ConstituteDataI(const unsigned char* answer, void* state);
    static void ConstituteDataK(const unsigned char* answer, void* state);
    static void ConstituteDataL(const unsigned char* answer, void* state);
    static void ConstituteDataM(const unsigned char* answer, void* state);
    static void ConstituteDataN(const unsigned char* answer, void* state);
    static void ConstituteDataO(const unsigned char* answer, void* state);
    static void ConstituteDataP(const unsigned char* answer, void* state);
    static void ConstituteDataQ(const unsigned char* answer, void* state);
    static void ConstituteDataR(const unsigned char* answer, void* state);
    static void ConstituteDataS(const unsigned char* answer, void* state);
    static void ConstituteDataT(const unsigned char* answer, void* state);
    static void ConstituteDataU(const unsigned char* answer, void* state);
    static void ConstituteDataV(const unsigned char* answer, void* state);
    static void ConstituteDataX(const unsigned char* answer, void* state);
    static char* Hex2BinayChar(char* hex, char* out);

    // Answer notifications, one per first letter.
    static long WinMsgSendExA(const unsigned char* answer, void* state);
    static long WinMsgSendExB(const unsigned char* answer, void* state);
    static long WinMsgSendExC(const unsigned char* answer, void* state);
    static long WinMsgSendExD(const unsigned char* answer, void* state);
    static long WinMsgSendExE(const unsigned char* answer, void* state);
    static long WinMsgSendExF(const unsigned char* answer, void* state);
    static long WinMsgSendExG(const unsigned char* answer, void* state);
    static long WinMsgSendExI(const unsigned char* answer, void* state);
    static long WinMsgSendExK(const unsigned char* answer, void* state);
    static long WinMsgSendExL(const unsigned char* answer, void* state);
    static long WinMsgSendExM(const unsigned char* answer, void* state);
    static long WinMsgSendExN(const unsigned char* answer, void* state);
    static long WinMsgSendExO(const unsigned char* answer, void* state);
    static long WinMsgSendExP(const unsigned char* answer, void* state);
    static long WinMsgSendExQ(const unsigned char* answer, void* state);
    static long WinMsgSendExR(const unsigned char* answer, void* state);
    static long WinMsgSendExS(const unsigned char* answer, void* state);
    static long WinMsgSendExT(const unsigned char* answer, void* state);
    static long WinMsgSendExU(const unsigned char* answer, void* state);
    static long WinMsgSendExV(const unsigned char* answer, void* state);
    static long WinMsgSendExX(const unsigned char* answer, void* state);

    // Session server, its login dialogue, the client command filter and the server commands.
    static unsigned ThreadSock(void* state);
    static void OnSocketAccept();
    static void OnSocketClose();
    static int CmdSetCodeCheckVEXA_LOGIN(unsigned char* command, void* state);
    static void CmdSetCodeCheck(unsigned char* batch, void* state);
    static int CmdSetCodeCheckFallow(unsigned char* command, void* state);
    static int CmdSetCodeCheckDunmore(unsigned char* command, void* state);
    static int CmdSetCodeCheckCorrin(unsigned char* command, void* state);
    static void CmdSetCodeCheckVEXA(unsigned char* command, void* state);
    static int CmdSetCodeCheckVEXA_A(unsigned char* command, void* state);
    static int CmdSetCodeCheckVEXA_C(unsigned char* command, void* state);
    static int CmdSetCodeCheckVEXA_S(unsigned char* command, void* state);

private:
    void* comThread = nullptr;   // the reader thread, stored by RadioConnectionOpen; never read back
    void* sockThread = nullptr;  // the session thread, stored by SocketServerOpen; never read back
};
