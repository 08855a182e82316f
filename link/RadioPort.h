// The program's side of the link: where a CAT program finds the station's radio. Either a
// pseudo-terminal, reached through a stable symlink as if it were a serial port, or a TCP port on
// 127.0.0.1 for programs that talk to a radio over a socket. Both carry the same raw byte stream.
#pragma once

#include <poll.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quintar::link {

class RadioPort {
public:
    virtual ~RadioPort() = default;
    // Appends the descriptors to wait on; Service gets the same entries back after poll.
    virtual void AddPollFds(std::vector<pollfd>& fds) const = 0;
    // Appends what the program wrote to `fromProgram`.
    virtual void Service(const pollfd* fds, std::string& fromProgram) = 0;
    // To the program. What the port cannot take now is dropped, as a serial line overruns: the link
    // never holds up the station for a program that does not read.
    virtual void Deliver(std::string_view bytes) = 0;
    virtual std::string Describe() const = 0;
    std::size_t DroppedBytes() const { return dropped_; }

protected:
    std::size_t dropped_ = 0;
};

class PseudoTerminalPort final : public RadioPort {
public:
    PseudoTerminalPort() = default;
    ~PseudoTerminalPort() override;
    PseudoTerminalPort(const PseudoTerminalPort&) = delete;
    PseudoTerminalPort& operator=(const PseudoTerminalPort&) = delete;
    // Opens the pair in raw mode. The link keeps the terminal's own side open too, so the port
    // stays up between programs and the link never reads a hang-up when one closes it.
    bool Open(std::string& error);
    const std::string& TerminalPath() const { return terminalPath_; }

    void AddPollFds(std::vector<pollfd>& fds) const override;
    void Service(const pollfd* fds, std::string& fromProgram) override;
    void Deliver(std::string_view bytes) override;
    std::string Describe() const override { return terminalPath_; }

private:
    int master_ = -1;
    int terminal_ = -1;
    std::string terminalPath_;
};

class TcpPort final : public RadioPort {
public:
    TcpPort() = default;
    ~TcpPort() override;
    TcpPort(const TcpPort&) = delete;
    TcpPort& operator=(const TcpPort&) = delete;
    // Listens on 127.0.0.1 only: the stream is logged in already, so it must not leave the machine.
    bool Listen(unsigned port, std::string& error);
    unsigned Port() const { return port_; }
    bool HasProgram() const { return client_ >= 0; }

    void AddPollFds(std::vector<pollfd>& fds) const override;
    void Service(const pollfd* fds, std::string& fromProgram) override;
    void Deliver(std::string_view bytes) override;
    std::string Describe() const override { return "127.0.0.1:" + std::to_string(port_); }

private:
    void DropProgram();
    int listener_ = -1;
    int client_ = -1;
    unsigned port_ = 0;
};

// The stable name under which programs find the port: a symlink to the terminal, a lock beside it
// that holds while this link runs, and the status file the link keeps there.
class LinkPath {
public:
    LinkPath() = default;
    ~LinkPath();  // releases
    LinkPath(const LinkPath&) = delete;
    LinkPath& operator=(const LinkPath&) = delete;

    // $XDG_STATE_HOME/quintar-link/radio, or ~/.local/state/quintar-link/radio.
    static std::string Default();
    static std::string StatusFileOf(const std::string& path) { return path + ".status"; }
    static std::string LockFileOf(const std::string& path) { return path + ".lock"; }
    // Whether a running link holds `path`.
    static bool InUse(const std::string& path);

    // Takes `path` for this process: creates its folder (private to the user when the link makes
    // it), takes the lock, and points the symlink at `target` (no symlink when `target` is empty).
    // Refuses a path another link holds, and one that is something other than a symlink.
    bool Claim(const std::string& path, const std::string& target, std::string& error);
    // Removes the symlink if it still points at this link's target, and the status file.
    void Release();
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string target_;
    int lock_ = -1;
};

}  // namespace quintar::link
