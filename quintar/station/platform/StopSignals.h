// The signals that end the host as the operator's own close does (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT), delivered on the event loop: a service manager, a desktop logout, a closed terminal
// or Ctrl-\ must not cost the log its END line or leave the radio keyed.
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace quintar {

class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;  // the signals' default actions again
    bool Installed() const { return notifier_ != nullptr; }

signals:
    void StopRequested(int signal);

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quintar
