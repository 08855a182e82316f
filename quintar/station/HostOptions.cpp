// Command-line options and the profile location of the host.
#include "HostOptions.h"

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
