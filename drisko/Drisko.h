// CDrisko: TCP server holding at most one client connection, on POSIX sockets (IPv4).
// A second connection while a client is connected is accepted and closed at once.
// Write and GetClientExist may be called from several threads at once; each Write is sent whole.
#pragma once

class CDrisko {
public:
    CDrisko();
    virtual ~CDrisko();
    CDrisko(const CDrisko&) = delete;
    CDrisko& operator=(const CDrisko&) = delete;

    // Address to listen on, dotted IPv4 ("0.0.0.0", the default, is every interface).
    void SetListenAddress(const char* address);

    int Listen(unsigned port);           // non-zero = listening
    int DisConnect();                    // drops the client and stops listening
    int GetSocketAccepted();             // non-zero once a new client has been accepted
    int GetSocketClosed();               // non-zero once the connected client has gone
    int GetRcvDataLength();              // > 0 while client bytes wait
    // Copies waiting client bytes (at most 1023, NUL bytes dropped) into a zero-filled 1024-byte
    // buffer. Non-zero when data was delivered.
    int GetRcvData(unsigned char* buffer);
    int Write(const unsigned char* data, unsigned long count);  // non-zero when all was sent
    int GetClientExist();                // non-zero while a client is connected
    int GetClientIP(char* text);         // dotted address, at most 24 characters and a NUL
    int GetLocalIP(char* text);          // this computer's address, at most 24 characters and a NUL

    // Blocks until there is something for the session thread (a connection to accept, client
    // data or hang-up), timeoutMs passes (negative: no limit) or Wake() is called.
    // Returns true when there is something to do.
    bool WaitEvent(int timeoutMs);
    void Wake();

private:
    struct Impl;
    Impl* impl_;
};
