// CPellan: the serial port to the radio, on termios. Raw 8 data bits, no parity.
// The port is held exclusively (TIOCEXCL, flock, and a UUCP lock file where its folder is
// writable), as other serial programs hold theirs: a busy device is refused with EBUSY.
// Write may be called from several threads at once; each Write reaches the line whole.
// Receiving is polled by one reader thread, which may block in WaitRcvData instead of sleeping.
#pragma once

#include <string>

class CPellan {
public:
    CPellan();
    virtual ~CPellan();
    CPellan(const CPellan&) = delete;
    CPellan& operator=(const CPellan&) = delete;

    // Device path of port number n; without an entry "/dev/ttyS<n-1>".
    void SetPortPath(unsigned port, const char* path);
    std::string PortPath(unsigned port) const;

    // Baud 4800, 9600, 19200, 38400, 57600 or 115200; parity 0 (none) only; data bits 8 only;
    // stop bits 1 or 2. A non-zero reset flag discards whatever the line held before opening.
    // Returns non-zero when the port is open and receiving, 0 on any failure (nothing to undo).
    int OpenComPort(unsigned port, unsigned baud, unsigned parity, unsigned dataBits, unsigned stopBits, int reset);
    void CloseComPort();
    // The system's error number of the last OpenComPort that failed (0 after a success).
    int LastError() const;
    // After an EBUSY failure, who holds the device where that is known: "process 1234 (name)".
    std::string LastHolder() const;
    // Why the last OpenComPort failed, for the operator: the system's reason, who holds a busy
    // device, and for a device this user may not open, the group whose members may. Empty after a
    // success.
    std::string LastFailure() const;

    // Writes all bytes in order; returns non-zero when every byte was accepted.
    int Write(const unsigned char* data, unsigned long count);

    // Number of received bytes waiting; 0 = nothing.
    unsigned GetRcvDataLength();
    // Copies the waiting bytes (at most 1023, NUL bytes dropped) into a zero-filled 1024-byte buffer
    // and removes them. Non-zero when data was delivered.
    int GetRcvData(unsigned char* buffer);

    // Blocks until received data waits, timeoutMs passes (negative: no limit) or Wake() is called.
    // Returns true when data waits.
    bool WaitRcvData(int timeoutMs);
    // Ends a WaitRcvData in progress (and the next one, if none is in progress).
    void Wake();

private:
    struct Impl;
    Impl* impl_;
};
