// What the fuzz targets share: a pseudo-terminal to stand for the radio, an in-memory profile,
// a host window that checks what it is posted, loopback TCP helpers and the failure report that
// makes a broken property a finding.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Platform.h"

namespace fuzzsupport {

// Reports a broken property with the evidence and aborts, which libFuzzer records as a finding.
[[noreturn]] void Fail(const std::string& property, const std::string& detail);

// Printable form of bytes for failure reports.
std::string Shown(std::string_view bytes, std::size_t limit = 400);

// A pseudo-terminal pair, both ends raw. The library opens the slave by its path; the target
// plays the radio on the master.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    const std::string& SlavePath() const { return slavePath_; }
    void Write(std::string_view bytes);
    // Bytes waiting in the slave's input queue (not yet taken by the library's reader).
    int SlaveQueued() const;
    // Reads from the master until `text` has arrived (true) or timeoutMs passes; appends to `into`.
    bool ReadUntil(std::string& into, std::string_view text, int timeoutMs);

private:
    int master_ = -1;
    int slaveProbe_ = -1;  // our own descriptor of the slave, to look at its input queue
    std::string slavePath_;
};

// The application profile in memory; writes can be made to fail as on a full disk.
class MemoryProfile : public brenlow::Profile {
public:
    int GetInt(const std::string& section, const std::string& key, int def) override;
    std::string GetString(const std::string& section, const std::string& key, const std::string& def) override;
    bool WriteInt(const std::string& section, const std::string& key, int value) override;
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) override;
    void Set(const std::string& section, const std::string& key, const std::string& value);
    void Clear();
    void FailWrites(bool fail) { failWrites_ = fail; }

private:
    std::mutex lock_;
    std::map<std::string, std::string> values_;  // "section/key"
    std::atomic<bool> failWrites_{false};
};

struct Posted {
    unsigned long code;
    long lParam;
    bool operator==(const Posted&) const = default;
};

// Records what the library posts; every post must be the library's one notification message.
class CheckingWindow : public brenlow::HostWindow {
public:
    void Post(unsigned message, unsigned long wParam, long lParam) override;
    std::vector<Posted> Take();

private:
    std::mutex lock_;
    std::vector<Posted> posted_;
};

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call.
unsigned FreeTcpPort();
// A blocking connection to 127.0.0.1:port from `source` (a loopback address); -1 on failure.
int ConnectFrom(const char* source, unsigned port);
// Sends all bytes, ignoring a peer that has gone (its close is part of what is tested).
void SendAll(int fd, std::string_view bytes);
// Reads whatever arrives within waitMs; false once the peer closed or reset (`reset` tells which).
bool ReadSome(int fd, std::string& into, int waitMs, bool* reset = nullptr);

}  // namespace fuzzsupport
