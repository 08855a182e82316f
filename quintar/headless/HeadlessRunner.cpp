// Headless mode, in order: options, profile and single-instance lock, platform registrations,
// signals, station start (readiness line on standard output), serve, stop.
#include "HeadlessRunner.h"

#include <QCoreApplication>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "HostOptions.h"
#include "InstanceLock.h"
#include "SettingsProfile.h"
#include "StationController.h"
#include "StopSignals.h"
#include "SettingsModel.h"
#include "Utilities.h"
#include "VoiceCalls.h"

namespace quintar {

namespace {

class StderrAlerts final : public brenlow::AlertSink {
public:
    void Alert(const char* text, const char* detail) override
    {
        if (detail && *detail)
            std::fprintf(stderr, "quintar: %s (%s)\n", text, detail);
        else
            std::fprintf(stderr, "quintar: %s\n", text);
    }
};

void Print(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

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

}  // namespace

int RunHeadless(int argc, const char* const* argv)
{
    // ---- Options
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    bool verbose = false;
    bool missing = false;
    const QString profileOption = FindProfileOption(arguments, &missing);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(HostUsage(), stdout);
            return kHeadlessStopped;
        }
        if (a == QLatin1String("--profile"))
            ++i;
        else if (a == QLatin1String("--verbose"))
            verbose = true;
        else if (a != QLatin1String("--headless") && !a.startsWith(QLatin1String("--profile=")) &&
                 !a.contains(QLatin1String("-EDM")) && !a.contains(QLatin1String("-ELM"))) {
            std::fprintf(stderr, "quintar: unknown argument %s (try --help)\n", argv[i + 1]);
            return kHeadlessUsage;
        }
    }
    if (missing) {
        std::fprintf(stderr, "quintar: --profile needs a file (try --help)\n");
        return kHeadlessUsage;
    }
    const HostOptions options = ParseHostOptions(JoinCommandLine(argc, argv));

    // ---- Profile and single instance
    // A station never starts on defaults: they would name a serial device nobody chose.
    const QString profileFile = ResolveProfileFile(profileOption, qEnvironmentVariable("QUINTAR_PROFILE"));
    const QByteArray shownFile = profileFile.toLocal8Bit();
    SettingsProfile profile(profileFile);
    const SettingsProfile::Inspection found = profile.Inspect();
    if (found.kind == SettingsProfile::Kind::Missing) {
        std::fprintf(stderr,
                     "quintar: there is no profile %s yet; set the station up first, for example:\n"
                     "  quintar setup --profile %s set com-device 1 /dev/ttyUSB0   (see quintar setup --help)\n",
                     shownFile.constData(), shownFile.constData());
        return kHeadlessStartFailed;
    }
    if (found.kind != SettingsProfile::Kind::Profile) {
        std::fprintf(stderr, "quintar: cannot use the profile %s: %s\n", shownFile.constData(),
                     found.reason.toLocal8Bit().constData());
        return kHeadlessStartFailed;
    }
    InstanceLock lock(profileFile);
    if (!lock.TryLock()) {
        if (lock.HeldByAnother())
            std::fprintf(stderr, "quintar: another station host is running with the profile %s\n", shownFile.constData());
        else
            std::fprintf(stderr, "quintar: cannot create the lock file %s (is the profile's folder writable?)\n",
                         lock.LockFile().toLocal8Bit().constData());
        return kHeadlessStartFailed;
    }
    if (!profile.Secure())
        std::fprintf(stderr, "quintar: cannot make the profile %s private to its owner\n", shownFile.constData());

    // ---- Platform registrations
    const QByteArray listen = qgetenv("QUINTAR_LISTEN_ADDRESS");
    if (!listen.isEmpty())
        CBrenlow::SetListenAddress(listen.constData());
    StderrAlerts alerts;
    CBrenlow::SetAlertSink(&alerts);
    StopSignals stopSignals;
    if (!stopSignals.Installed()) {
        std::fprintf(stderr, "quintar: cannot set up the stop signals\n");
        CBrenlow::SetAlertSink(nullptr);
        return kHeadlessStartFailed;
    }

    int status = kHeadlessStopped;
    {
        StationController controller(profile, options);
        // A failure's line on standard error also says what the log line cannot: the device, the
        // system's reason, what to do.
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
        QObject::connect(&controller, &StationController::ErrorMessage,
                         [](const QString& caption, const QString& text) {
                             QString t = text;
                             while (t.endsWith(QLatin1Char('\n')))
                                 t.chop(1);
                             Print(stderr, caption + QLatin1Char(' ') + t);
                         });
        if (verbose)
            PrintPanelChanges(controller);

        // Voice, where it is switched on: unavailable here is said once, and the station runs on.
        VoiceCalls voice(controller, profile, StationDataFolder() + QStringLiteral("/voice"));
        QObject::connect(&voice, &VoiceCalls::Notice, [](const QString& text) { Print(stderr, "quintar: " + text); });
        if (settings::ReadInt(profile, settings::Id::Voice) != 0 && !GetVoiceEnableOS())
            Print(stderr, "quintar: voice calls are switched on but unavailable: " + VoiceCalls::UnavailableReason());

        // A stop signal ends the host as a close does: a start under way ends first, then the
        // station stops with its END line.
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

        QMetaObject::invokeMethod(&controller, [&controller] { controller.Start(); }, Qt::QueuedConnection);
        status = QCoreApplication::exec();
    }
    CBrenlow::SetAlertSink(nullptr);
    return status;
}

}  // namespace quintar
