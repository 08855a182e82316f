// A program run by a test as a child process in a session of its own (no controlling terminal, so
// a password is never asked on the test's), with its standard streams on pipes. Started with
// posix_spawn: a fork of a multi-threaded test would not be safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    // The child inherits the test's environment but for the entries whose "NAME=" is in `dropped`;
    // each entry of `environment` is added, in place of an inherited one of the same name.
    ChildProcess(std::string program, std::vector<std::string> arguments, std::vector<std::string> environment = {},
                 const std::vector<std::string_view>& dropped = {});
    ~ChildProcess();  // kills a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Runs the program under a file-size limit, as on a full disk: writes beyond it fail.
    void LimitFileSize(long bytes);
    // Runs the program as another account (the test must be root), with that account's group only.
    void RunAs(unsigned uid);
    // Gives the child `terminal` as its standard input and controlling terminal (it leads its own
    // session, so the first terminal it opens becomes its controlling one).
    void SetTerminal(std::string terminal) { terminal_ = std::move(terminal); }

    bool Start();
    // Runs to its end with `input` on standard input; false on time-out.
    bool Run(const std::string& input = {}, int timeoutMs = 20000);
    // Writes to the running program's standard input.
    bool Write(std::string_view text);
    void CloseInput();
    // Waits until standard output holds `text` (`count` times).
    bool WaitForOutput(std::string_view text, int timeoutMs, std::size_t count = 1);
    bool WaitForExit(int timeoutMs);
    void Signal(int signal);
    bool Running();
    int Pid() const { return pid_; }
    int ExitStatus() const { return exitStatus_; }  // -N: ended by signal N
    bool ExitedNormally() const { return exitedNormally_; }
    const std::string& Out();
    const std::string& Err();

private:
    void Collect(int waitMs);
    bool Reap();
    std::vector<std::string> argv_;
    std::vector<std::string> env_;
    std::string terminal_;
    int pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    bool exited_ = false;
    bool exitedNormally_ = false;
    int exitStatus_ = -1;
    std::string outText_, errText_;
};

// The program `name` as the shell finds it on PATH, or "" where it is not installed.
std::string FindOnPath(const std::string& name);

// How often `what` occurs in `text`, without overlaps.
std::size_t Count(std::string_view text, std::string_view what);

}  // namespace testsupport
