// The host's start-up, written once for both front ends: the profile, its inspection, the
// single-instance lock, securing the profile, the listen address, the stop signals, then the
// station itself (controller, voice calls, the library's alerts). Each step reports to the sink
// the front end gives: the console for headless mode, message boxes for the window.
#pragma once

#include <QString>

#include <memory>
#include <optional>

#include "HostOptions.h"
#include "InstanceLock.h"
#include "Platform.h"
#include "SettingsProfile.h"
#include "StationController.h"
#include "StopSignals.h"
#include "VoiceCalls.h"

namespace quintar {

// What the start-up reports; each front end words it in its own way.
class StartReport {
public:
    virtual ~StartReport() = default;
    // Only where the rules require a profile.
    virtual void ProfileMissing(const QString& file) = 0;
    virtual void ProfileUnusable(const QString& file, const QString& reason) = 0;
    virtual void AnotherHostRuns(const QString& file, const QString& lockFile) = 0;
    virtual void LockFileNotCreated(const QString& lockFile) = 0;
    virtual void ProfileNotPrivate(const QString& file) = 0;
    virtual void StopSignalsMissing() = 0;
    // Voice is switched on in the profile, but the voice library cannot work here.
    virtual void VoiceUnavailable(const QString& reason) = 0;
    // The voice calls' messages while the station runs.
    virtual void VoiceNotice(const QString& text) = 0;
    // Where the library's alerts go while the station exists.
    virtual brenlow::AlertSink& Alerts() = 0;
};

// Where the front ends' start-ups differ in more than their words.
struct StartRules {
    bool profileRequired = false;      // a station never starts on defaults that name no chosen device
    bool stopSignalsRequired = false;  // a stop must write the END line, as under a service manager
};

// The station the last step builds: its controller, registered with the library with the report's
// alerts, and its voice calls, whose messages go to the report. Also made alone where the steps
// before it are not wanted.
class Station {
public:
    Station(SettingsProfile& profile, const HostOptions& options, StartReport& report);
    StationController& Controller() { return controller_; }
    VoiceCalls& Voice() { return voice_; }

private:
    StationController controller_;
    VoiceCalls voice_;
};

class StartChecklist {
public:
    enum class Result {
        Ready,        // the station is built
        Refused,      // a step failed; the report has said why
        AnotherHost,  // another host runs with this profile
    };

    StartChecklist(StartReport& report, StartRules rules);
    ~StartChecklist();  // the station first, then the stop signals, the lock last

    // Runs the steps in order until one refuses. The profile is `--profile`'s value, else
    // QUINTAR_PROFILE's, else the per-user default; the listen address QUINTAR_LISTEN_ADDRESS's.
    Result Run(const QString& profileOption, const HostOptions& options);

    // After Run: the profile's path; what the steps made, as far as they came.
    const QString& ProfileFile() const { return profileFile_; }
    SettingsProfile& Profile() { return *profile_; }
    InstanceLock& Lock() { return *lock_; }
    StopSignals& Signals() { return *signals_; }
    Station& Built() { return *station_; }

private:
    StartReport& report_;
    const StartRules rules_;
    QString profileFile_;
    std::unique_ptr<SettingsProfile> profile_;
    std::unique_ptr<InstanceLock> lock_;
    std::unique_ptr<StopSignals> signals_;
    std::unique_ptr<Station> station_;
};

}  // namespace quintar
