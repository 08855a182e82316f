// Test doubles of the host's platform.
#include "TestSupport.h"

#include <fstream>
#include <random>
#include <sstream>

namespace testsupport {

void RecordingWindow::Post(unsigned message, unsigned long wParam, long lParam) {
    {
        std::lock_guard<std::mutex> g(lock_);
        messages_.push_back({message, wParam, lParam});
    }
    changed_.notify_all();
}

std::vector<Posted> RecordingWindow::Messages() const {
    std::lock_guard<std::mutex> g(lock_);
    return messages_;
}

std::vector<Posted> RecordingWindow::WithCode(unsigned long code) const {
    std::lock_guard<std::mutex> g(lock_);
    std::vector<Posted> out;
    for (const auto& m : messages_)
        if (m.code == code) out.push_back(m);
    return out;
}

std::size_t RecordingWindow::Count() const {
    std::lock_guard<std::mutex> g(lock_);
    return messages_.size();
}

void RecordingWindow::Clear() {
    std::lock_guard<std::mutex> g(lock_);
    messages_.clear();
}

bool RecordingWindow::WaitFor(unsigned long code, int timeoutMs, const long* lParam) {
    std::unique_lock<std::mutex> g(lock_);
    return changed_.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] {
        for (const auto& m : messages_)
            if (m.code == code && (!lParam || m.lParam == *lParam)) return true;
        return false;
    });
}

bool RecordingWindow::WaitForCount(std::size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> g(lock_);
    return changed_.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return messages_.size() >= count; });
}

IniFileProfile::IniFileProfile(std::filesystem::path file) : file_(std::move(file)) {}

IniFileProfile::Sections IniFileProfile::Load() const {
    Sections sections;
    std::ifstream in(file_);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        auto eq = line.find('=');
        if (eq != std::string::npos) sections[section][line.substr(0, eq)] = line.substr(eq + 1);
    }
    return sections;
}

bool IniFileProfile::Save(const Sections& sections) const {
    if (failWrites_.load()) return false;
    std::ofstream out(file_, std::ios::trunc);
    for (const auto& [name, keys] : sections) {
        out << '[' << name << "]\n";
        for (const auto& [key, value] : keys) out << key << '=' << value << '\n';
    }
    out.flush();
    return static_cast<bool>(out);
}

int IniFileProfile::GetInt(const std::string& section, const std::string& key, int def) {
    std::lock_guard<std::mutex> g(lock_);
    auto sections = Load();
    auto s = sections.find(section);
    if (s == sections.end()) return def;
    auto k = s->second.find(key);
    if (k == s->second.end()) return def;
    try {
        return std::stoi(k->second);
    } catch (...) {
        return def;
    }
}

std::string IniFileProfile::GetString(const std::string& section, const std::string& key, const std::string& def) {
    std::lock_guard<std::mutex> g(lock_);
    auto sections = Load();
    auto s = sections.find(section);
    if (s == sections.end()) return def;
    auto k = s->second.find(key);
    return k == s->second.end() ? def : k->second;
}

bool IniFileProfile::WriteInt(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool IniFileProfile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    std::lock_guard<std::mutex> g(lock_);
    auto sections = Load();
    sections[section][key] = value;
    return Save(sections);
}

void FakeClock::Advance(std::int64_t ms) {
    now_ += ms;
    CBrenlow::WakeSessionThread();
}

void FakeClock::Set(std::int64_t ms) {
    now_ = ms;
    CBrenlow::WakeSessionThread();
}

void RecordingAlerts::Alert(const char* text, const char* detail) {
    std::lock_guard<std::mutex> g(lock_);
    texts_.emplace_back(text);
    details_.emplace_back(detail ? detail : "");
}

std::vector<std::string> RecordingAlerts::Details() const {
    std::lock_guard<std::mutex> g(lock_);
    return details_;
}

std::vector<std::string> RecordingAlerts::Texts() const {
    std::lock_guard<std::mutex> g(lock_);
    return texts_;
}

TempDir::TempDir() {
    std::random_device rd;
    std::ostringstream name;
    name << "quintar-test-" << std::hex << rd() << rd();
    path_ = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace testsupport
