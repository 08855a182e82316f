// The host's side of voice calls: the voice library's call-control object for a logged-in client,
// made at login and deleted at the client's disconnection, the station's stop and teardown; and
// the handling of its events: the first announced call is answered, one offered while a call is
// held is refused, the held call is released when it ends. Used only from the controller's thread.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "IncomingTapi.h"
#include "Platform.h"
#include "StationController.h"

namespace quintar {

class VoiceCalls final : public QObject, public VoiceService {
    Q_OBJECT
public:
    // Events of the voice object reach `controller`, which routes them here. `dataFolder` holds the
    // SIP engine's own files.
    VoiceCalls(StationController& controller, brenlow::Profile& profile, QString dataFolder);
    ~VoiceCalls() override;

    bool Start() override;  // false (and a notice) when voice cannot run now
    void Stop() override;

    bool Active() const { return active_; }
    bool HasVoiceObject() const { return voice_ != nullptr; }
    int CallCount() const { return callCount_; }

    // Why voice is unavailable on this machine, or empty when it is available. Loads the voice
    // library on first use.
    static QString UnavailableReason();

signals:
    // A message for the operator: a message box in the window, one line on standard error headless.
    void Notice(const QString& text);

private:
    void OnEvent(QEvent* e);

    StationController& controller_;
    brenlow::Profile& profile_;
    QString dataFolder_;
    std::unique_ptr<CIncomingTapi> voice_;
    bool active_ = false;
    int callCount_ = 0;
};

}  // namespace quintar
