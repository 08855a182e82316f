// The window's reports: critical boxes for a start that cannot go on, the voice calls' boxes on
// the window, lines on standard error for the rest.
#include "WindowReport.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <utility>

#include "WindowRaiser.h"

namespace quintar {

namespace {

void PrintLine(const QString& text)
{
    std::fprintf(stderr, "quintar: %s\n", text.toLocal8Bit().constData());
}

// The voice calls' messages: application message boxes with an OK button and no icon.
void ShowNotice(QWidget* window, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                                window);
    box->setObjectName(QStringLiteral("voiceMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace

void WindowReport::AttachWindow(QWidget* window)
{
    window_ = window;
    alerts_.SetOwner(window);
    if (!window)
        return;
    for (const QString& text : std::exchange(held_, {}))
        ShowNotice(window, text);
}

// The window starts without a profile: the operator sets the station up in it.
void WindowReport::ProfileMissing(const QString&) {}

void WindowReport::ProfileUnusable(const QString& file, const QString& reason)
{
    QMessageBox::critical(nullptr, QStringLiteral("Quintar"),
                          QStringLiteral("The profile %1 cannot be used:\n%2").arg(file, reason));
}

// The other host's window comes to the front, and this copy ends without a word.
void WindowReport::AnotherHostRuns(const QString&, const QString& lockFile)
{
    WindowRaiser::AskToRaise(WindowRaiser::SocketName(lockFile));
}

void WindowReport::LockFileNotCreated(const QString& lockFile)
{
    QMessageBox::critical(nullptr, QStringLiteral("Quintar"),
                          QStringLiteral("The lock file %1 cannot be created. Is the profile's folder writable?")
                              .arg(lockFile));
}

void WindowReport::ProfileNotPrivate(const QString& file)
{
    PrintLine(QStringLiteral("cannot make the profile %1 private to its owner").arg(file));
}

void WindowReport::StopSignalsMissing()
{
    PrintLine(QStringLiteral("cannot set up the stop signals; a service manager's stop will not write the END line"));
}

void WindowReport::VoiceUnavailable(const QString& reason)
{
    VoiceNotice(QStringLiteral("Voice calls are switched on but unavailable here: ") + reason);
}

void WindowReport::VoiceNotice(const QString& text)
{
    if (window_)
        ShowNotice(window_, text);
    else
        held_ << text;
}

}  // namespace quintar
