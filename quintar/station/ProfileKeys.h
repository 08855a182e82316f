// The profile's sections and keys as the station host uses them, and the value sets the setup
// rules allow. Most keys are composed from the word "VEXA" at run time, as the library does.
#pragma once

#include <array>
#include <cstdio>
#include <string>

namespace quintar::keys {

inline constexpr char kSetting[] = "Setting";
inline constexpr char kFilePath[] = "File Path";
inline constexpr char kWindowPos[] = "WindowPos";
inline constexpr char kPorts[] = "Ports";  // serial device of each "COM" port number

inline constexpr char kComPort[] = "COM Port";
inline constexpr char kComBaud[] = "COM Baud";
inline constexpr char kPrefix[] = "VEXA";

inline constexpr int kDefaultComPort = 1;
inline constexpr int kDefaultBaud = 9600;
inline constexpr int kDefaultIpPort = 50000;
inline constexpr int kMinIpPort = 1024;
inline constexpr int kMaxIpPort = 65535;
inline constexpr int kMinComPort = 1;
inline constexpr int kMaxComPort = 20;
inline constexpr int kUserSlots = 10;
inline constexpr std::size_t kMaxUserIdLength = 32;
inline constexpr std::size_t kMaxPasswordLength = 32;
inline constexpr std::size_t kMaxDescriptionLength = 128;
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

inline constexpr char kIpPortNo[] = "IP Port No";
inline constexpr char kVoice[] = "Voice";
inline constexpr char kSessionTime[] = "Session Time";
inline constexpr char kLog[] = "Log";
inline constexpr char kLogFilePath[] = "Log File Path";
inline constexpr char kUserId[] = "User ID";
inline constexpr char kPassword[] = "Password";
inline constexpr char kDescription[] = "Description";
inline constexpr char kUserDisabled[] = "User Disabled";

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
