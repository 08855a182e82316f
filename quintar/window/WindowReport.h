// The start-up's reports and the station's messages, as the window shows them: message boxes, and
// on standard error what has no place in a window. Messages that come before the window exists
// wait for it; the library's alerts are WindowAlerts' boxes.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "StartChecklist.h"
#include "WindowAlerts.h"

namespace quintar {

class WindowReport final : public StartReport {
public:
    // The window the boxes belong to from now on (null: it has gone); the messages held for it
    // show now.
    void AttachWindow(QWidget* window);
    // The host is closing (WindowAlerts::Dismiss).
    void Dismiss() { alerts_.Dismiss(); }

    void ProfileMissing(const QString& file) override;
    void ProfileUnusable(const QString& file, const QString& reason) override;
    void AnotherHostRuns(const QString& file, const QString& lockFile) override;
    void LockFileNotCreated(const QString& lockFile) override;
    void ProfileNotPrivate(const QString& file) override;
    void StopSignalsMissing() override;
    void VoiceUnavailable(const QString& reason) override;
    void VoiceNotice(const QString& text) override;
    brenlow::AlertSink& Alerts() override { return alerts_; }

private:
    QPointer<QWidget> window_;
    QStringList held_;
    WindowAlerts alerts_;
};

}  // namespace quintar
