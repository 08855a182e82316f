// CBrenlow: the radio control library's one exported class. Its members are thin entry points to
// the radio state block; every object sees the same radio, serial link and network server.
// Members report success as 1 (or a non-zero transport result) and failure as 0; nothing throws.
#pragma once

#include "BrenlowMembers.h"
#include "Platform.h"

class SecurityProvider;

namespace brenlow::server {
class LoginDialogue;
class Session;
}  // namespace brenlow::server

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
    // The TLS port (0: none) and whether the plain port listens too, from the next SocketServerOpen;
    // the provider secures its connections and outlives the server.
    static void SetSecurePort(unsigned port, SecurityProvider* provider, int plain);
    static void SetProfile(brenlow::Profile* profile);
    static void SetAlertSink(brenlow::AlertSink* sink);
    static void SetClock(brenlow::Clock* clock);                  // null: the steady clock
    // How long a client that shut down its sending side is still served after its last radio
    // command, for the answers (default 1000 ms; a fuzz rig without radio answers sets 0).
    static void SetHalfCloseGraceMs(int ms);
    static void WakeSessionThread();                              // re-reads the clock at once
    static std::string ComPortPath(unsigned port);                // the device "COM" port n opens
    static int LastComPortError();     // errno of the last RadioConnectionOpen that failed
    // Why that failure happened, for the operator (the serial component's reason and remedy).
    static std::string LastComPortFailure();
    static std::string ListenAddress();  // the TCP listen address as set (dotted IPv4 expected)
    static int LastSocketError();      // errno of the last SocketServerOpen that failed to listen
    static unsigned LastSocketErrorPort();  // the port it failed on
    static int ClientKeyedTransmitter();  // 1 while a client's last transmit command was TX, not RX
    // The station's stop begins: from now until the server opens again, nothing a client sends
    // reaches the radio, and a session that ends sends the radio nothing of its own.
    static void CloseClientPath();
    static void SetVoiceCapabilityCheck(int (*check)());          // GetVoiceEnable's machine test; null: none

    // ---- Radio identification -----------------------------------------------------------------
    // ConnID and RcvDataID are in the encoder and accessor families below.
    int GetRadioName(unsigned id, unsigned char* name);  // a 25-byte buffer always suffices

    // ---- Command encoders and answer accessors (BrenlowMembers.h) -----------------------------
#define BRENLOW_DECLARE_ENCODER(name, how, parameters, arguments) int Conn##name parameters;
    BRENLOW_ENCODERS(BRENLOW_DECLARE_ENCODER)
#undef BRENLOW_DECLARE_ENCODER
#define BRENLOW_DECLARE_ACCESSOR(name, how, parameters, arguments) int RcvData##name parameters;
    BRENLOW_ACCESSORS(BRENLOW_DECLARE_ACCESSOR)
#undef BRENLOW_DECLARE_ACCESSOR

    // ---- User accounts, access log, session -------------------------------------------------
    static int CheckVexaUserPassword(const char* userId, const char* password);
    static int ChangeUserPassword(const char* userId, const char* newPassword);
    static int GetUserDisabled(const char* userId);
    int GetUserDescription(const char* userId, char* description);  // buffer of at least 129 bytes
    static int GetVoiceEnable();
    static void VexaLogAdd(const char* text);
    int SonnVEXA_VE(unsigned value);  // RcvDataVEXA_ST is among the accessors
    int GetLoginUserID(char* userId);  // buffer of at least 35 bytes

    // ---- Answer router (reader thread) --------------------------------------------------------
    static void ConstituteData(const unsigned char* text, void* state);

protected:
    int WriteCom(const unsigned char* data, unsigned long length);

    // Radio reader thread, the parsers it routes to and the answer notifications, one of each per
    // first letter.
    static unsigned ThreadCom(void* state);
#define BRENLOW_DECLARE_LETTER(letter)                                         \
    static void ConstituteData##letter(const unsigned char* answer, void* state); \
    static long WinMsgSendEx##letter(const unsigned char* answer, void* state);
    BRENLOW_ANSWER_LETTERS(BRENLOW_DECLARE_LETTER)
#undef BRENLOW_DECLARE_LETTER
    static char* Hex2BinayChar(char* hex, char* out);

    // Session server, its login dialogue, the client command filter and the server commands.
    static unsigned ThreadSock(void* state);
    static void OnSocketAccept();
    static void OnSocketClose();
    static int CmdSetCodeCheckVEXA_LOGIN(unsigned char* command, void* state);
    static void CmdSetCodeCheck(unsigned char* batch, void* state);
    // The same with the login dialogue of the connection, as the session calls it.
    static void CmdSetCodeCheck(unsigned char* batch, void* state, brenlow::server::LoginDialogue& login);
    static int CmdSetCodeCheckFallow(unsigned char* command, void* state);
    static int CmdSetCodeCheckDunmore(unsigned char* command, void* state);
    static int CmdSetCodeCheckCorrin(unsigned char* command, void* state);
    static void CmdSetCodeCheckVEXA(unsigned char* command, void* state);
    static int CmdSetCodeCheckVEXA_A(unsigned char* command, void* state);
    static int CmdSetCodeCheckVEXA_C(unsigned char* command, void* state);
    static int CmdSetCodeCheckVEXA_S(unsigned char* command, void* state);

private:
    friend class brenlow::server::Session;  // its steps hand the client's commands to the filter

    void* comThread = nullptr;   // the reader thread, stored by RadioConnectionOpen; never read back
    void* sockThread = nullptr;  // the session thread, stored by SocketServerOpen; never read back
};
