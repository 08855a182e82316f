// Alerts from any thread, shown on the window's thread.
#include "WindowAlerts.h"

#include <QMessageBox>
#include <QSemaphore>
#include <QThread>

#include <cstdio>

namespace quintar {

namespace {
constexpr int kWaitSliceMs = 100;  // how often a waiting caller looks whether the host is closing
}

WindowAlerts::WindowAlerts(QWidget* owner)
    : QObject(nullptr), owner_(owner), closing_(std::make_shared<std::atomic<bool>>(false))
{
}

WindowAlerts::~WindowAlerts()
{
    Dismiss();
}

QString WindowAlerts::Text(const QString& text, const QString& detail)
{
    return detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail;
}

QMessageBox* WindowAlerts::ShowBox(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Quintar"), text, QMessageBox::Ok, owner_);
    box->setObjectName(QStringLiteral("alertMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    std::erase_if(boxes_, [](const QPointer<QMessageBox>& b) { return b.isNull(); });
    boxes_.emplace_back(box);
    box->open();
    return box;
}

void WindowAlerts::Alert(const char* text, const char* detail)
{
    const QString shown = Text(QString::fromLocal8Bit(text ? text : ""), QString::fromLocal8Bit(detail ? detail : ""));
    if (QThread::currentThread() == thread()) {
        if (closing_->load())
            std::fprintf(stderr, "quintar: %s\n", shown.toLocal8Bit().constData());  // no window to show it in
        else
            ShowBox(shown);
        return;
    }
    if (closing_->load()) {
        QMetaObject::invokeMethod(this, [this, shown] { ShowBox(shown); }, Qt::QueuedConnection);
        return;
    }
    // Released when the box closes or goes away with its window; the caller also gives up when
    // the host closes, so that a stop never waits for a box nobody will answer.
    auto closed = std::make_shared<QSemaphore>(0);
    auto closing = closing_;
    QMetaObject::invokeMethod(
        this,
        [this, shown, closed] {
            QMessageBox* box = ShowBox(shown);
            auto release = [closed, once = std::make_shared<std::atomic<bool>>(false)] {
                if (!once->exchange(true))
                    closed->release();
            };
            connect(box, &QDialog::finished, release);
            connect(box, &QObject::destroyed, release);
        },
        Qt::QueuedConnection);
    while (!closed->tryAcquire(1, kWaitSliceMs))
        if (closing->load())
            return;
}

void WindowAlerts::Dismiss()
{
    closing_->store(true);
    for (const QPointer<QMessageBox>& box : boxes_)
        if (box)
            box->close();
    boxes_.clear();
}

}  // namespace quintar
