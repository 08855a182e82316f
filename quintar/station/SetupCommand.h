// `quintar setup`: the station's settings and users from the command line, for stations without
// a display. The same rules as the Setup dialog hold; bad input changes nothing in the profile.
#pragma once

#include <QStringList>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace quintar {

// Exit statuses of `quintar setup`.
inline constexpr int kSetupOk = 0;
inline constexpr int kSetupFailed = 1;    // the profile could not be read or saved
inline constexpr int kSetupRefused = 2;   // bad input or a rule broken; nothing written

// Runs one setup command. `arguments` are those after the word "setup".
int RunSetup(const QStringList& arguments, std::FILE* out, std::FILE* err);

// The rules, each giving the reason for a refusal or nothing when the text passes.
// User ids and passwords: 1 to 32 bytes, each 0x21..0x7F and not ';'.
std::optional<std::string> CheckUserId(std::string_view id);
std::optional<std::string> CheckPassword(std::string_view password);
// Descriptions: at most 128 bytes, no tab, line break or other control character.
std::optional<std::string> CheckDescription(std::string_view description);

}  // namespace quintar
