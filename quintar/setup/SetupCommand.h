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

// The rules it applies are the settings model's (SettingsModel.h).

}  // namespace quintar
