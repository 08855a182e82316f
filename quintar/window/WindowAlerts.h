// The library's one alert ("VEXA Log:File Open Error!!") as a message box with the stop icon.
// A call from the library's session thread waits until the operator has closed the box, as the
// alert always did; a call on the window's own thread shows the box without waiting, so the
// window never stops.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

#include "Platform.h"

#include <QMessageBox>

namespace quintar {

class WindowAlerts final : public QObject, public brenlow::AlertSink {
    Q_OBJECT
public:
    // `owner`: the window the boxes belong to (none yet: null); it must live on this object's thread.
    explicit WindowAlerts(QWidget* owner = nullptr);
    void SetOwner(QWidget* owner) { owner_ = owner; }
    // Lets every waiting caller go.
    ~WindowAlerts() override;

    void Alert(const char* text, const char* detail) override;

    // The host is closing: the open boxes close, and later alerts no longer hold their caller,
    // so that the session thread, which the station's stop waits for, can end.
    void Dismiss();

    static QString Text(const QString& text, const QString& detail);

private:
    QMessageBox* ShowBox(const QString& text);

    QPointer<QWidget> owner_;
    std::shared_ptr<std::atomic<bool>> closing_;
    std::vector<QPointer<QMessageBox>> boxes_;
};

}  // namespace quintar
