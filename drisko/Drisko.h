// CDrisko: TCP server holding at most one client connection, on POSIX sockets (IPv4).
// A second connection while a client is connected is accepted and closed at once, unless the
// client may give way to it (SetClientMayGiveWay).
// Write and GetClientExist may be called from several threads at once; each Write is sent whole
// and never waits for the client: what the client has not taken yet waits in a bounded queue.
#pragma once

#include <string>

struct ifaddrs;

class CDrisko {
public:
    CDrisko();
    virtual ~CDrisko();
    CDrisko(const CDrisko&) = delete;
    CDrisko& operator=(const CDrisko&) = delete;

    // Address to listen on, dotted IPv4 ("0.0.0.0", the default, is every interface). Listen
    // fails with EINVAL (LastError) when it is no dotted IPv4 address.
    void SetListenAddress(const char* address);
    std::string ListenAddress() const;

    int Listen(unsigned port);           // non-zero = listening; at once when already listening there
    int DisConnect();                    // drops the client and stops listening
    // Drops the client and keeps listening, so a connection already waiting is not lost. What is
    // still queued for the client is sent first, for at most a couple of seconds.
    int DropClient();
    // Non-zero once a new client has been accepted; a connection kept waiting is taken first.
    int GetSocketAccepted();
    // Non-zero once the connected client has gone or has shut down its sending side.
    int GetSocketClosed();
    // Non-zero when the client has only shut down its sending side (its end of data came and no
    // error since): it may still take answers to what it sent.
    int GetSocketHalfClosed();
    // While set, the first connection from another address than the client's is kept waiting
    // instead of being turned away, for the owner to let it in (DropClient, then GetSocketAccepted)
    // or drop it. Clearing it drops a connection kept waiting.
    void SetClientMayGiveWay(bool may);
    int GetWaitingClientIP(char* text);  // non-zero while a connection is kept waiting; its address
    void DropWaitingClient();
    int GetConnectionWaiting();          // non-zero while another connection waits: kept or queued
    int GetRcvDataLength();              // > 0 while client bytes wait
    // Copies waiting client bytes (at most 1023, NUL bytes dropped) into a zero-filled 1024-byte
    // buffer. Non-zero when data was delivered.
    int GetRcvData(unsigned char* buffer);
    // Sends what the socket takes now and queues the rest, whole. 0 when there is no client, or when
    // the queue would grow beyond kSendQueueLimit: the write is then dropped and the client marked
    // as not keeping up (GetSendOverflow), to be closed by its owner.
    int Write(const unsigned char* data, unsigned long count);
    int GetSendOverflow();               // non-zero once the current client let the queue fill
    static constexpr unsigned long kSendQueueLimit = 256 * 1024;
    int GetClientExist();                // non-zero while a client is connected
    int GetClientIP(char* text);         // dotted address, at most 24 characters and a NUL
    int GetLocalIP(char* text);          // this computer's address, at most 24 characters and a NUL
    // The address GetLocalIP shows, from the interface list getifaddrs gives: the one a remote
    // client would most likely use. The first IPv4 address of an interface that is up, neither a
    // loopback nor link-local (169.254.0.0/16); failing that the first link-local one, then the
    // first of an interface that is down; "127.0.0.1" only when there is no other.
    static void ChooseLocalIP(const ifaddrs* list, char* text);

    // The system's error number of the last Listen that failed (0 if none).
    int LastError() const;

    // Blocks until there is something for the session thread (a connection to accept, client
    // data, hang-up, a client that lets its queue fill, a connection kept waiting or one queued
    // behind a client that is leaving), timeoutMs passes (negative: no limit) or Wake() is called.
    // Sends queued bytes as the client takes them. Returns true when there is something to do.
    bool WaitEvent(int timeoutMs);
    void Wake();

private:
    struct Impl;
    Impl* impl_;
};
