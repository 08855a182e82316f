// The start-up checklist's steps, in order.
#include "StartChecklist.h"

#include "SettingsModel.h"
#include "TlsFiles.h"
#include "Utilities.h"

namespace quintar {

Station::Station(SettingsProfile& profile, const HostOptions& options, StartReport& report)
    : controller_(profile, options, &report.Alerts()),
      voice_(controller_, profile, StationDataFolder() + QStringLiteral("/voice"))
{
    const settings::TlsFiles tls = settings::TlsFilesOf(profile.File());
    controller_.SetTlsFiles(tls.cert, tls.key);
    QObject::connect(&voice_, &VoiceCalls::Notice, [&report](const QString& text) { report.VoiceNotice(text); });
    // The voice library loads with this first question; switched on but unavailable is said once,
    // and the station runs on without it.
    if (settings::ReadInt(profile, settings::Id::Voice) != 0 && !GetVoiceEnableOS())
        report.VoiceUnavailable(VoiceCalls::UnavailableReason());
}

StartChecklist::StartChecklist(StartReport& report, StartRules rules) : report_(report), rules_(rules) {}

StartChecklist::~StartChecklist()
{
    station_.reset();
    signals_.reset();
    lock_.reset();
}

StartChecklist::Result StartChecklist::Run(const QString& profileOption, const HostOptions& options)
{
    // ---- The profile, and what lies at its path
    profileFile_ = ResolveProfileFile(profileOption, qEnvironmentVariable("QUINTAR_PROFILE"));
    profile_ = std::make_unique<SettingsProfile>(profileFile_);
    const SettingsProfile::Inspection found = profile_->Inspect();
    if (found.kind == SettingsProfile::Kind::Missing && rules_.profileRequired) {
        report_.ProfileMissing(profileFile_);
        return Result::Refused;
    }
    if (found.kind != SettingsProfile::Kind::Missing && found.kind != SettingsProfile::Kind::Profile) {
        report_.ProfileUnusable(profileFile_, found.reason);
        return Result::Refused;
    }

    // ---- One host per profile
    lock_ = std::make_unique<InstanceLock>(profileFile_);
    if (!lock_->TryLock()) {
        if (lock_->HeldByAnother()) {
            report_.AnotherHostRuns(profileFile_, lock_->LockFile());
            return Result::AnotherHost;
        }
        report_.LockFileNotCreated(lock_->LockFile());
        return Result::Refused;
    }
    if (found.kind == SettingsProfile::Kind::Profile && !profile_->Secure())
        report_.ProfileNotPrivate(profileFile_);

    // ---- Where clients connect, and the signals that stop the host
    const QByteArray listen = qgetenv("QUINTAR_LISTEN_ADDRESS");
    if (!listen.isEmpty())
        StationController::SetListenAddress(listen.toStdString());
    signals_ = std::make_unique<StopSignals>();
    if (!signals_->Installed()) {
        report_.StopSignalsMissing();
        if (rules_.stopSignalsRequired)
            return Result::Refused;
    }

    // ---- The station, its voice calls and the library's alerts
    station_ = std::make_unique<Station>(*profile_, options, report_);
    return Result::Ready;
}

}  // namespace quintar
