// Headless mode, in order: options, the start-up checklist (reporting on the console), the station's
// lines on standard output and error, station start (readiness line on standard output), serve, stop.
#include "HeadlessRunner.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <optional>
#include <string>

#include "HostOptions.h"
#include "SettingsModel.h"
#include "StartChecklist.h"
#include "StationController.h"

namespace quintar {

namespace {

void Print(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

// The start-up's reports and the library's alerts, one line each on standard error.
class ConsoleReport final : public StartReport, public brenlow::AlertSink {
public:
    void ProfileMissing(const QString& file) override
    {
        const QByteArray shown = file.toLocal8Bit();
        std::fprintf(stderr,
                     "quintar: there is no profile %s yet; set the station up first, for example:\n"
                     "  quintar setup --profile %s set com-device 1 /dev/ttyUSB0   (see quintar setup --help)\n",
                     shown.constData(), shown.constData());
    }
    void ProfileUnusable(const QString& file, const QString& reason) override
    {
        Print(stderr, QStringLiteral("quintar: cannot use the profile %1: %2").arg(file, reason));
    }
    void AnotherHostRuns(const QString& file, const QString&) override
    {
        Print(stderr, QStringLiteral("quintar: another station host is running with the profile %1").arg(file));
    }
    void LockFileNotCreated(const QString& lockFile) override
    {
        Print(stderr, QStringLiteral("quintar: cannot create the lock file %1 (is the profile's folder writable?)")
                          .arg(lockFile));
    }
    void ProfileNotPrivate(const QString& file) override
    {
        Print(stderr, QStringLiteral("quintar: cannot make the profile %1 private to its owner").arg(file));
    }
    void StopSignalsMissing() override { Print(stderr, QStringLiteral("quintar: cannot set up the stop signals")); }
    void VoiceUnavailable(const QString& reason) override
    {
        Print(stderr, "quintar: voice calls are switched on but unavailable: " + reason);
    }
    void VoiceNotice(const QString& text) override { Print(stderr, "quintar: " + text); }
    brenlow::AlertSink& Alerts() override { return *this; }

    void Alert(const char* text, const char* detail) override
    {
        if (detail && *detail)
            std::fprintf(stderr, "quintar: %s (%s)\n", text, detail);
        else
            std::fprintf(stderr, "quintar: %s\n", text);
    }
};

QString OnOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

// An emptied text shows as "-".
QString Shown(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

void PrintPanelChanges(StationController& c)
{
    auto out = [](const QString& line) { Print(stdout, QStringLiteral("panel: ") + line); };
    QObject::connect(&c, &StationController::ModelNameChanged, [out](const QString& v) { out("model " + Shown(v)); });
    QObject::connect(&c, &StationController::PowerLampChanged, [out](bool v) { out("POWER lamp " + OnOff(v)); });
    QObject::connect(&c, &StationController::ControlLampChanged, [out](bool v) { out("CONTROL lamp " + OnOff(v)); });
    QObject::connect(&c, &StationController::OnAirChanged, [out](bool v) { out("ONAIR " + OnOff(v)); });
    QObject::connect(&c, &StationController::UserIdChanged, [out](const QString& v) { out("user " + Shown(v)); });
    QObject::connect(&c, &StationController::ClientAddressChanged, [out](const QString& v) { out("IP address " + Shown(v)); });
    QObject::connect(&c, &StationController::DescriptionChanged, [out](const QString& v) { out("description " + Shown(v)); });
    QObject::connect(&c, &StationController::SessionTimeChanged, [out](const QString& v) { out("session time " + Shown(v)); });
    QObject::connect(&c, &StationController::ConnectionEvent, [&c](int v) {
        switch (v) {
        case 1:
            Print(stdout, "connection: accepted from " + c.ClientAddress());
            break;
        case 2:
            Print(stdout, QStringLiteral("connection: closed"));
            break;
        case 3:
            Print(stdout, "connection: " + c.UserId() + " logged in from " + c.ClientAddress());
            break;
        default:
            Print(stdout, QStringLiteral("connection: event %1").arg(v));
        }
    });
}

// Every line the controller logs goes to standard output; a start's failure to standard error,
// with what the log line cannot say: the device, the system's reason, what to do.
void PrintStationLines(StationController& controller)
{
    QObject::connect(&controller, &StationController::LogWritten, [&controller](const QString& line) {
        if (!line.startsWith(QLatin1String("- START - Failed"))) {
            Print(stdout, line);
            return;
        }
        const QString detail = controller.FailureDetail();
        Print(stderr, detail.isEmpty() ? line : line + QStringLiteral(" (") + detail + QLatin1Char(')'));
    });
    QObject::connect(&controller, &StationController::Warning,
                     [](const QString& text) { Print(stderr, QStringLiteral("quintar: ") + text); });
    QObject::connect(&controller, &StationController::SecureListening, [](int port, const QString& fingerprint) {
        Print(stdout, QStringLiteral("TLS port %1, certificate SHA-256 %2").arg(port).arg(fingerprint));
    });
    QObject::connect(&controller, &StationController::ErrorMessage, [](const QString& caption, const QString& text) {
        QString t = text;
        while (t.endsWith(QLatin1Char('\n')))
            t.chop(1);
        Print(stderr, caption + QLatin1Char(' ') + t);
    });
}

// How the process ends: a stop signal ends it as a close does (a start under way ends first, then
// the station stops with its END line); the watchdog and a failed start end it with their statuses.
void EndAsTheStationEnds(StationController& controller, StopSignals& stopSignals)
{
    QObject::connect(&stopSignals, &StopSignals::StopRequested, &controller, &StationController::RequestClose);
    QObject::connect(&controller, &StationController::CloseReady, [] { QCoreApplication::exit(kHeadlessStopped); });
    QObject::connect(&controller, &StationController::Stopped, [&controller](StationController::StopCause cause) {
        if (cause != StationController::StopCause::Watchdog)
            return;
        Print(stderr, QStringLiteral("quintar: the watchdog stopped the station: ") + controller.FailureDetail());
        QCoreApplication::exit(kHeadlessWatchdog);
    });
    QObject::connect(&controller, &StationController::StartFinished, [&controller](StationController::StartResult result) {
        if (result == StationController::StartResult::Started)
            return;
        // A setting that is no number has said so in its error message already.
        if (result == StationController::StartResult::NotAllowed && controller.FailureDetail().isEmpty())
            std::fprintf(stderr, "quintar: nothing started: the TCP port setting (\"%s\") is outside %s\n",
                         settings::KeyOf(settings::Id::TcpPort).c_str(),
                         settings::AllowedValues(settings::Id::TcpPort).c_str());
        QCoreApplication::exit(kHeadlessStartFailed);
    });
}

struct Arguments {
    QString profileOption;
    bool verbose = false;
    std::optional<int> exitStatus;  // set: the arguments alone end the program
};

Arguments ReadArguments(int argc, const char* const* argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    Arguments read;
    bool missing = false;
    read.profileOption = FindProfileOption(arguments, &missing);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(HostUsage(), stdout);
            read.exitStatus = kHeadlessStopped;
            return read;
        }
        if (a == QLatin1String("--profile"))
            ++i;
        else if (a == QLatin1String("--verbose"))
            read.verbose = true;
        else if (a != QLatin1String("--headless") && !a.startsWith(QLatin1String("--profile=")) &&
                 !a.contains(QLatin1String("-EDM")) && !a.contains(QLatin1String("-ELM"))) {
            std::fprintf(stderr, "quintar: unknown argument %s (try --help)\n", argv[i + 1]);
            read.exitStatus = kHeadlessUsage;
            return read;
        }
    }
    if (missing) {
        std::fprintf(stderr, "quintar: --profile needs a file (try --help)\n");
        read.exitStatus = kHeadlessUsage;
    }
    return read;
}

}  // namespace

int RunHeadless(int argc, const char* const* argv)
{
    const Arguments arguments = ReadArguments(argc, argv);
    if (arguments.exitStatus)
        return *arguments.exitStatus;
    ConsoleReport report;
    StartChecklist checklist(report, {.profileRequired = true, .stopSignalsRequired = true});
    if (checklist.Run(arguments.profileOption, ParseHostOptions(JoinCommandLine(argc, argv))) !=
        StartChecklist::Result::Ready)
        return kHeadlessStartFailed;

    StationController& controller = checklist.Built().Controller();
    PrintStationLines(controller);
    if (arguments.verbose)
        PrintPanelChanges(controller);
    EndAsTheStationEnds(controller, checklist.Signals());
    QMetaObject::invokeMethod(&controller, [&controller] { controller.Start(); }, Qt::QueuedConnection);
    return QCoreApplication::exec();
}

}  // namespace quintar
