// Command-line options and the profile location of the host.
#include "HostOptions.h"

#include <QStandardPaths>

#include "SettingsProfile.h"

namespace quintar {

std::string JoinCommandLine(int argc, const char* const* argv)
{
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0)
            line += ' ';
        line += argv[i];
    }
    return line;
}

HostOptions ParseHostOptions(const std::string& commandLine)
{
    HostOptions options;
    options.secondModelEnabled = commandLine.find("-EDM") != std::string::npos;
    options.loadMessageEnabled = commandLine.find("-ELM") != std::string::npos;
    return options;
}

std::string WindowTitle(const HostOptions& options)
{
    std::string title = "Radio Host Program";
    if (options.secondModelEnabled)
        title += " -EDM";
    if (options.loadMessageEnabled)
        title += " -ELM";
    return title;
}

QString ResolveProfileFile(const QString& profileOption, const QString& environmentValue)
{
    if (!profileOption.isEmpty())
        return profileOption;
    if (!environmentValue.isEmpty())
        return environmentValue;
    return SettingsProfile::DefaultFile();
}

const char* HostUsage()
{
    return "usage: quintar [--profile FILE] [-EDM] [-ELM]\n"
           "       quintar --headless [--profile FILE] [-EDM] [-ELM] [--verbose]\n"
           "       quintar setup [--profile FILE] COMMAND ...\n"
           "       quintar --help | --version\n"
           "\n"
           "Modes:\n"
           "  (none)           the station's window: start and stop it from its Control menu; needs a\n"
           "                   display and the window's library (without either: a line on standard\n"
           "                   error and exit status 2)\n"
           "  --headless       start the station without a window and serve until SIGINT, SIGTERM, SIGHUP\n"
           "                   or SIGQUIT; each stops the station cleanly (the log's END line).\n"
           "                   The line \"- START - Successful COMn, Socket:p.\" on standard output says\n"
           "                   it is serving; failures go to standard error.\n"
           "  setup            show and change the settings and users in the profile\n"
           "                   (quintar setup --help lists its commands)\n"
           "\n"
           "Options:\n"
           "  --profile FILE   the profile to use; headless, it must exist (make one with quintar setup)\n"
           "  -EDM             also accept the Dunmore (identity 19) at station start\n"
           "  -ELM             let clients send the message-load command LM with a value\n"
           "                   (-EDM and -ELM count anywhere in the command line)\n"
           "  --verbose        headless: print connection events and panel changes\n"
           "  --help, -h       this text\n"
           "  --version        the program's version\n"
           "\n"
           "Environment:\n"
           "  QUINTAR_PROFILE         the profile when --profile is not given\n"
           "                          (default: the per-user profile, ~/.config/Talvern/Quintar.ini)\n"
           "  QUINTAR_LISTEN_ADDRESS  the IPv4 address clients connect to (default: every address);\n"
           "                          127.0.0.1 serves this computer only\n"
           "  QUINTAR_DATA_DIR        the station's data folder (the voice engine's files)\n"
           "                          (default: ~/.local/share/Talvern/Quintar)\n"
           "\n"
           "Exit status (window): 0 closed (also a second copy on the same profile, which ends at once),\n"
           "  1 the profile is unusable, 2 no display, no window library or an unknown option.\n"
           "Exit status (headless):\n"
           "  0  stopped by a signal\n"
           "  1  start failed (serial port, radio, TCP port), the profile is missing or unusable, or\n"
           "     another station host runs with the same profile\n"
           "  2  unknown or incomplete argument\n"
           "  3  the watchdog stopped the station: the radio stopped answering (a restart may help)\n";
}

QString StationDataFolder()
{
    const QString configured = qEnvironmentVariable("QUINTAR_DATA_DIR");
    if (!configured.isEmpty())
        return configured;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Talvern/Quintar");
}

QString FindProfileOption(const QStringList& arguments, bool* missing)
{
    static const QString kOption = QStringLiteral("--profile");
    if (missing)
        *missing = false;
    QString value;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == kOption) {
            if (i + 1 >= arguments.size()) {
                if (missing)
                    *missing = true;
                return {};
            }
            value = arguments[++i];
        } else if (arg.startsWith(kOption + QLatin1Char('='))) {
            value = arg.mid(kOption.size() + 1);
        }
    }
    return value;
}

}  // namespace quintar
