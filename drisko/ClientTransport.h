// ClientTransport: a network server holding one client at a time, as the station's session server
// drives it (accept, read, write, give way, drop, wait). CDrisko is the plain TCP one; another
// listener (an encrypted port) can be a second, and the same session serves it.
#pragma once

class ClientTransport {
public:
    virtual ~ClientTransport() = default;

    virtual int Listen(unsigned port) = 0;  // non-zero = listening; at once when already listening there
    // Drops the client and keeps listening, so a connection already waiting is not lost. What is
    // still queued for the client is sent first, for at most a couple of seconds.
    virtual int DropClient() = 0;
    // Non-zero once a new client has been accepted; a connection kept waiting is taken first.
    virtual int GetSocketAccepted() = 0;
    // Non-zero once the connected client has gone or has shut down its sending side.
    virtual int GetSocketClosed() = 0;
    // Non-zero when the client has only shut down its sending side (its end of data came and no
    // error since): it may still take answers to what it sent.
    virtual int GetSocketHalfClosed() = 0;
    // While set, the first connection from another address than the client's is kept waiting
    // instead of being turned away, for the owner to let it in (DropClient, then GetSocketAccepted)
    // or drop it. Clearing it drops a connection kept waiting.
    virtual void SetClientMayGiveWay(bool may) = 0;
    virtual int GetWaitingClientIP(char* text) = 0;  // non-zero while a connection is kept waiting; its address
    virtual void DropWaitingClient() = 0;
    virtual int GetConnectionWaiting() = 0;          // non-zero while another connection waits: kept or queued
    virtual int GetRcvDataLength() = 0;              // > 0 while client bytes wait
    // Copies waiting client bytes (at most 1023, NUL bytes dropped) into a zero-filled 1024-byte
    // buffer. Non-zero when data was delivered.
    virtual int GetRcvData(unsigned char* buffer) = 0;
    // Sends what the client takes now and queues the rest, whole, never waiting for the client.
    // 0 when there is no client, or when the queue is full: the write is then dropped and the
    // client marked as not keeping up (GetSendOverflow), to be closed by its owner.
    virtual int Write(const unsigned char* data, unsigned long count) = 0;
    virtual int GetSendOverflow() = 0;               // non-zero once the current client let the queue fill
    virtual int GetClientExist() = 0;                // non-zero while a client is connected
    virtual int GetClientIP(char* text) = 0;         // dotted address, at most 24 characters and a NUL
    // How the current client came: over the plain port, over TLS, or over TLS that failed (in its
    // handshake, or later by a record that does not decrypt) and so ended the connection.
    enum Security { kPlain = 0, kSecured = 1, kHandshakeFailed = 2, kRecordFailed = 3 };
    virtual int GetClientSecurity() = 0;

    // Blocks until there is something for the session (a connection to accept, client data,
    // hang-up, a client that lets its queue fill, a connection kept waiting or one queued behind a
    // client that is leaving), timeoutMs passes (negative: no limit) or Wake() is called. Returns
    // true when there is something to do.
    virtual bool WaitEvent(int timeoutMs) = 0;
    virtual void Wake() = 0;
};
