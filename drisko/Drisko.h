// CDrisko: TCP server holding at most one client connection, on POSIX sockets (IPv4); the plain
// ClientTransport. A second connection while a client is connected is accepted and closed at once,
// unless the client may give way to it (SetClientMayGiveWay).
// Write and GetClientExist may be called from several threads at once; each Write is sent whole
// and never waits for the client: what the client has not taken yet waits in a bounded queue.
#pragma once

#include <string>

#include "ClientTransport.h"
#include "ConnectionSecurity.h"

struct ifaddrs;

class CDrisko : public ClientTransport {
public:
    CDrisko();
    ~CDrisko() override;
    CDrisko(const CDrisko&) = delete;
    CDrisko& operator=(const CDrisko&) = delete;

    // Address to listen on, dotted IPv4 ("0.0.0.0", the default, is every interface). Listen
    // fails with EINVAL (LastError) when it is no dotted IPv4 address.
    void SetListenAddress(const char* address);
    std::string ListenAddress() const;

    // From the next Listen on, also listens on `securePort` (0: none), whose connections `provider`
    // secures; with `plain` false, on that port only. The provider outlives the listening.
    // Either port serves the one client: a second connection on either is turned away or kept.
    void SetSecurePort(unsigned securePort, SecurityProvider* provider, bool plain);
    int Listen(unsigned port) override;
    int DisConnect();                    // drops the client and stops listening
    int DropClient() override;
    int GetSocketAccepted() override;
    int GetSocketClosed() override;
    int GetSocketHalfClosed() override;
    void SetClientMayGiveWay(bool may) override;
    int GetWaitingClientIP(char* text) override;
    void DropWaitingClient() override;
    int GetConnectionWaiting() override;
    int GetRcvDataLength() override;
    int GetRcvData(unsigned char* buffer) override;
    // The queue holds at most kSendQueueLimit bytes.
    int Write(const unsigned char* data, unsigned long count) override;
    int GetSendOverflow() override;
    static constexpr unsigned long kSendQueueLimit = 256 * 1024;
    int GetClientExist() override;
    int GetClientIP(char* text) override;
    int GetClientSecurity() override;
    int GetLocalIP(char* text);          // this computer's address, at most 24 characters and a NUL
    // The address GetLocalIP shows, from the interface list getifaddrs gives: the one a remote
    // client would most likely use. The first IPv4 address of an interface that is up, neither a
    // loopback nor link-local (169.254.0.0/16); failing that the first link-local one, then the
    // first of an interface that is down; "127.0.0.1" only when there is no other.
    static void ChooseLocalIP(const ifaddrs* list, char* text);

    // The system's error number of the last Listen that failed (0 if none).
    int LastError() const;
    unsigned LastErrorPort() const;  // the port that Listen failed on

    // Sends queued bytes as the client takes them while it waits.
    bool WaitEvent(int timeoutMs) override;
    void Wake() override;

private:
    struct Impl;
    Impl* impl_;
};
