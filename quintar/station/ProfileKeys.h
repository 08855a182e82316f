// The profile's sections and keys as the station host uses them, and the value sets the setup
// rules allow. Key words and defaults come from the library's key table; most keys are composed
// from the word "VEXA" at run time, as the library does.
#pragma once

#include <array>
#include <cstdio>
#include <string>

#include "SettingKeys.h"

namespace quintar::keys {

using brenlow::server::Key;
constexpr const char* Word(Key key) { return brenlow::server::Row(key).word; }

inline constexpr const char* kSetting = brenlow::server::kSetting;
inline constexpr const char* kFilePath = brenlow::server::kFilePath;
inline constexpr const char* kWindowPos = brenlow::server::Row(Key::WindowPos).section;
inline constexpr char kPorts[] = "Ports";  // serial device of each "COM" port number

inline constexpr const char* kComPort = Word(Key::ComPort);
inline constexpr const char* kComBaud = Word(Key::ComBaud);
inline constexpr const char* kPrefix = brenlow::server::kVexa;

inline constexpr int kDefaultComPort = brenlow::server::Row(Key::ComPort).intDefault;
inline constexpr int kDefaultBaud = brenlow::server::Row(Key::ComBaud).intDefault;
inline constexpr int kDefaultIpPort = brenlow::server::Row(Key::IpPort).intDefault;
inline constexpr int kMinIpPort = 1024;
inline constexpr int kMaxIpPort = 65535;
inline constexpr int kMinComPort = 1;
inline constexpr int kMaxComPort = 20;
inline constexpr int kUserSlots = brenlow::server::kUserSlots;
inline constexpr std::size_t kMaxUserIdLength = brenlow::server::kMaxUserId;
inline constexpr std::size_t kMaxPasswordLength = brenlow::server::kMaxUserId;
inline constexpr std::size_t kMaxDescriptionLength = brenlow::server::kMaxDescription;
inline constexpr std::size_t kMaxLogFolderLength = 260;

inline constexpr std::array<int, 6> kBaudRates = {4800, 9600, 19200, 38400, 57600, 115200};
inline constexpr std::array<int, 14> kSessionMinutes = {0, 1, 2, 3, 5, 10, 15, 20, 30, 40, 50, 60, 90, 120};

// "%s %s": "VEXA Session Time".
inline std::string Vexa(const char* word)
{
    char key[64];
    std::snprintf(key, sizeof key, "%s %s", kPrefix, word);
    return key;
}

// "%s %03d %s": "VEXA 007 Password".
inline std::string VexaUser(int slot, const char* word)
{
    char key[64];
    std::snprintf(key, sizeof key, "%s %03d %s", kPrefix, slot, word);
    return key;
}

inline constexpr const char* kIpPortNo = Word(Key::IpPort);
inline constexpr const char* kVoice = Word(Key::Voice);
inline constexpr const char* kSessionTime = Word(Key::SessionTime);
inline constexpr const char* kLog = Word(Key::Log);
inline constexpr const char* kLogFilePath = Word(Key::LogFilePath);
inline constexpr const char* kUserId = Word(Key::UserId);
inline constexpr const char* kPassword = Word(Key::Password);
inline constexpr const char* kDescription = Word(Key::Description);
inline constexpr const char* kUserDisabled = Word(Key::UserDisabled);

// Key "COM<n>" of section "Ports" and its default device.
inline std::string ComDeviceKey(int port)
{
    return "COM" + std::to_string(port);
}
inline std::string DefaultComDevice(int port)
{
    return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace quintar::keys
