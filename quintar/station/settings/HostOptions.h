// The host's start-up options: "-EDM" and "-ELM" found anywhere in the command line, the window
// title they make, and where the profile file is.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace quintar {

struct HostOptions {
    bool secondModelEnabled = false;  // "-EDM": identity 19 is accepted at station start
    bool loadMessageEnabled = false;  // "-ELM": the filter passes a client's "LM" command
};

// The command line as one text: the arguments, program path included, joined with single spaces.
std::string JoinCommandLine(int argc, const char* const* argv);

// Case-sensitive substring tests on the whole command line, so "-ELMX" or a program path that
// contains "-EDM" counts too.
HostOptions ParseHostOptions(const std::string& commandLine);

// "Radio Host Program", then " -EDM" and " -ELM" in this order.
std::string WindowTitle(const HostOptions& options);

// The profile file: the value of --profile when given, else the environment's QUINTAR_PROFILE
// when set and not empty, else the per-user default.
QString ResolveProfileFile(const QString& profileOption, const QString& environmentValue);

// What `quintar --help` and `quintar --headless --help` print: every mode, option, environment
// variable and exit status.
const char* HostUsage();

// The station's own data folder (the SIP engine's files): $QUINTAR_DATA_DIR when set, else the
// per-user data folder of "Talvern"/"Quintar".
QString StationDataFolder();

// The value of "--profile FILE" or "--profile=FILE" in `arguments`; `missing` is set when the
// option is last and has no value.
QString FindProfileOption(const QStringList& arguments, bool* missing = nullptr);

}  // namespace quintar
