// Test doubles of the host's platform: a recording host window, a file-backed profile, a clock the
// test drives, and a CBrenlow that opens its protected members to the tests.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Brenlow.h"
#include "Platform.h"

namespace testsupport {

struct Posted {
    unsigned message;
    unsigned long code;
    long lParam;
    bool operator==(const Posted&) const = default;
};

// Records every notification posted to it, from any thread.
class RecordingWindow : public brenlow::HostWindow {
public:
    void Post(unsigned message, unsigned long wParam, long lParam) override;
    std::vector<Posted> Messages() const;
    std::vector<Posted> WithCode(unsigned long code) const;
    std::size_t Count() const;
    void Clear();
    // Waits until a message with this code (and, if given, this lParam) has been posted.
    bool WaitFor(unsigned long code, int timeoutMs, const long* lParam = nullptr);
    bool WaitForCount(std::size_t count, int timeoutMs);

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Posted> messages_;
};

// A profile kept in a real INI file, read and rewritten whole on every access.
class IniFileProfile : public brenlow::Profile {
public:
    explicit IniFileProfile(std::filesystem::path file);
    int GetInt(const std::string& section, const std::string& key, int def) override;
    std::string GetString(const std::string& section, const std::string& key, const std::string& def) override;
    bool WriteInt(const std::string& section, const std::string& key, int value) override;
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) override;
    const std::filesystem::path& File() const { return file_; }
    // While set, every write fails and changes nothing, as on a full disk.
    void FailWrites(bool fail) { failWrites_ = fail; }

private:
    using Sections = std::map<std::string, std::map<std::string, std::string>>;
    Sections Load() const;
    bool Save(const Sections& sections) const;
    std::atomic<bool> failWrites_{false};
    std::filesystem::path file_;
    std::mutex lock_;
};

// A monotonic clock the test moves by hand; every move wakes the session thread.
class FakeClock : public brenlow::Clock {
public:
    explicit FakeClock(std::int64_t startMs = 1'000'000) : now_(startMs) {}
    std::int64_t NowMs() override { return now_.load(); }
    void Advance(std::int64_t ms);
    void Set(std::int64_t ms);

private:
    std::atomic<std::int64_t> now_;
};

// Records alerts instead of showing them.
class RecordingAlerts : public brenlow::AlertSink {
public:
    void Alert(const char* text, const char* detail) override;
    std::vector<std::string> Texts() const;
    std::vector<std::string> Details() const;

private:
    mutable std::mutex lock_;
    std::vector<std::string> texts_;
    std::vector<std::string> details_;
};

// Opens CBrenlow's protected members to the tests.
class TestBrenlow : public CBrenlow {
public:
    using CBrenlow::CmdSetCodeCheck;
    using CBrenlow::CmdSetCodeCheckCorrin;
    using CBrenlow::CmdSetCodeCheckDunmore;
    using CBrenlow::CmdSetCodeCheckFallow;
    using CBrenlow::CmdSetCodeCheckVEXA;
    using CBrenlow::CmdSetCodeCheckVEXA_A;
    using CBrenlow::CmdSetCodeCheckVEXA_C;
    using CBrenlow::CmdSetCodeCheckVEXA_LOGIN;
    using CBrenlow::CmdSetCodeCheckVEXA_S;
#define OPEN_PARSER(letter) using CBrenlow::ConstituteData##letter;
    BRENLOW_ANSWER_LETTERS(OPEN_PARSER)
#undef OPEN_PARSER
    using CBrenlow::Hex2BinayChar;
    using CBrenlow::OnSocketAccept;
    using CBrenlow::OnSocketClose;
    using CBrenlow::ThreadCom;
    using CBrenlow::ThreadSock;
    using CBrenlow::WinMsgSendExA;
    using CBrenlow::WinMsgSendExF;
    using CBrenlow::WriteCom;
};

// A fresh empty folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Polls a condition until it holds or the time runs out.
template <class Pred>
bool WaitUntil(Pred pred, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace testsupport
