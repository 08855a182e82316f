// The station controller: the host's whole behaviour without drawing anything. It owns the
// library object, receives the library's notifications as Qt events, starts and stops the
// station, switches the radio's power, polls the radio once a second with a watchdog, and keeps
// the status panel's state, which a window shows and headless mode prints.
#pragma once

#include <QEvent>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Brenlow.h"
#include "HostMessages.h"
#include "HostOptions.h"
#include "Platform.h"

namespace quintar {

// The voice service of a logged-in client (VoiceCalls); without one, no voice is offered.
class VoiceService {
public:
    virtual ~VoiceService() = default;
    virtual bool Start() = 0;
    virtual void Stop() = 0;
};

class StationController : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString modelName READ ModelName NOTIFY ModelNameChanged)
    Q_PROPERTY(bool powerLamp READ PowerLamp NOTIFY PowerLampChanged)
    Q_PROPERTY(bool controlLamp READ ControlLamp NOTIFY ControlLampChanged)
    Q_PROPERTY(bool onAir READ OnAir NOTIFY OnAirChanged)
    Q_PROPERTY(QString userId READ UserId NOTIFY UserIdChanged)
    Q_PROPERTY(QString clientAddress READ ClientAddress NOTIFY ClientAddressChanged)
    Q_PROPERTY(QString description READ Description NOTIFY DescriptionChanged)
    Q_PROPERTY(QString sessionTime READ SessionTime NOTIFY SessionTimeChanged)
    Q_PROPERTY(bool busy READ Busy NOTIFY BusyChanged)
    Q_PROPERTY(bool started READ Started NOTIFY StartedChanged)
    Q_PROPERTY(bool controlEnabled READ ControlEnabled NOTIFY ControlEnabledChanged)

public:
    enum class StartResult { Started, NotAllowed, SerialPortFailed, ModelNotDetected, ModelRefused, SocketFailed };
    Q_ENUM(StartResult)
    enum class StopCause { Command, Watchdog, Teardown };
    Q_ENUM(StopCause)
    enum class FocusTarget { PowerSwitch, Control };
    Q_ENUM(FocusTarget)

    static constexpr int kPollIntervalMs = 1000;
    static constexpr unsigned kWatchdogLimit = 3;  // a fourth silent tick stops the station

    // Registers itself as the library's host window, `profile` as its profile and `alerts` (where
    // given) as where the library's alerts go; all are unregistered again at destruction, after a
    // running station has been stopped.
    StationController(brenlow::Profile& profile, HostOptions options, brenlow::AlertSink* alerts = nullptr,
                      QObject* parent = nullptr);
    ~StationController() override;
    StationController(const StationController&) = delete;
    StationController& operator=(const StationController&) = delete;

    // The operator's commands. Start and stop may finish later, as steps on the event loop; while
    // one runs (Busy) other commands are refused, except that a stop or close asked for during a
    // start is carried out once the start has ended.
    void Start();                         // "ON"; StartFinished tells the result
    void Stop(StopCause cause = StopCause::Command);  // "OFF"; Stopped tells the end of a stop
    void Control(StopCause cause = StopCause::Command);  // "CONTROL": stop if running, else start
    void PowerSwitch();                   // "Power Switch"
    // Whether the power switch would now switch the radio off under a logged-in client or in the
    // middle of a transmission; a window asks the operator first.
    bool PowerSwitchInterrupts() const;
    // Closing the host: stops a running station first (the END line); CloseReady says when the
    // window or process may end.
    void RequestClose();

    // Other messages for the host (the voice library's events) arrive as Qt events of their own
    // type; each type goes to the handler routed to it.
    void RouteEvent(QEvent::Type type, std::function<void(QEvent*)> handler);
    void SetVoiceService(VoiceService* voice) { voice_ = voice; }

    const HostOptions& Options() const { return options_; }

    // The IPv4 address the next start listens on ("0.0.0.0", every address, until one is set).
    static void SetListenAddress(const std::string& address);
    // This computer's address as a client would reach it.
    QString LocalAddress();
    // The station's TLS certificate and key (beside its profile), read at each start with TLS on.
    void SetTlsFiles(const QString& certFile, const QString& keyFile);
    // While the server runs with TLS on: its port and the certificate's fingerprint.
    int TlsPort() const { return tlsPort_; }
    QString TlsFingerprint() const;

    bool Running() const { return running_; }
    bool ServerOpen() const { return serverOpen_; }
    bool ClientLoggedIn() const { return clientLoggedIn_; }
    bool RadioPowerOn() const { return radioPowerOn_; }
    bool Transmitting() const { return transmitting_; }
    unsigned ModelId() const { return modelId_; }
    unsigned WatchdogCount() const { return watchdogCount_; }
    bool PollTimerActive() const { return pollTimer_.isActive(); }
    // Why the last start failed, or what stopped the station last: what the operator needs to mend
    // it (the device and the system's reason, ...). Empty when there is nothing to add.
    QString FailureDetail() const { return failureDetail_; }
    // The serial port of the last start as the operator knows it: "COM1 (/dev/ttyUSB0)".
    QString PortName() const;

    QString ModelName() const { return modelName_; }
    bool PowerLamp() const { return powerLamp_; }
    bool ControlLamp() const { return controlLamp_; }
    bool OnAir() const { return transmitting_; }
    QString UserId() const { return userId_; }
    QString ClientAddress() const { return clientAddress_; }
    QString Description() const { return description_; }
    QString SessionTime() const { return sessionTime_; }
    bool Busy() const { return busy_; }
    bool Started() const { return started_; }  // "ON" grayed, "OFF" enabled
    bool ControlEnabled() const { return controlEnabled_; }

signals:
    void ModelNameChanged(const QString& name);
    void PowerLampChanged(bool lit);
    void ControlLampChanged(bool lit);
    void OnAirChanged(bool on);
    void UserIdChanged(const QString& userId);
    void ClientAddressChanged(const QString& address);
    void DescriptionChanged(const QString& description);
    void SessionTimeChanged(const QString& text);
    void BusyChanged(bool busy);
    void StartedChanged(bool started);
    void ControlEnabledChanged(bool enabled);
    void FocusRequested(quintar::StationController::FocusTarget target);
    // A start failure the operator must see; a window shows it as a message box.
    void ErrorMessage(const QString& caption, const QString& text);
    // The serial port did not open: `port` as PortName() gives it, `reason` the system's reason
    // with what the operator can do about it. Logged, not a message: a window shows it.
    void SerialPortUnavailable(const QString& port, const QString& reason);
    // Something wrong found at a start that does not stop it (duplicate user slots, a log folder
    // others can write); a line for the operator.
    void Warning(const QString& text);
    // Every line this controller adds to the access log, whether or not logging is on.
    void LogWritten(const QString& line);
    // After the panel has taken in a connection event (1 accepted, 2 ended, 3 logged in).
    void ConnectionEvent(int value);
    void Stopped(quintar::StationController::StopCause cause);
    void StartFinished(quintar::StationController::StartResult result);
    // The server has started with TLS on: the port and certificate fingerprint clients check.
    void SecureListening(int port, const QString& fingerprint);
    void CloseReady();

protected:
    bool event(QEvent* e) override;

private:
    // The host window the library posts to. Posts queue here in order; one Qt event carries
    // every post that arrives before the controller's thread takes them, so answers that come
    // together wake that thread once.
    class Mailbox final : public brenlow::HostWindow {
    public:
        struct Message {
            unsigned message;
            unsigned long code;
            long value;
        };
        static constexpr QEvent::Type kEventType = static_cast<QEvent::Type>(QEvent::User + 12800);

        explicit Mailbox(QObject* target) : target_(target) {}
        void Post(unsigned message, unsigned long wParam, long lParam) override;
        std::vector<Message> Take();
        void Discard();  // drops what waits, with its event
        void Detach();
        // Orders what a poster wrote into its event before what the receiver reads from it.
        // Qt's queue does so too, but with futexes that ThreadSanitizer cannot see.
        void Synchronize();
        // Queues a call on the controller's thread, posted under the same lock for the same reason.
        void PostCall(std::function<void()> call);

    private:
        std::mutex lock_;
        QObject* target_;
        std::vector<Message> waiting_;
        bool eventPosted_ = false;
    };

    struct NotificationRow {
        unsigned long code;
        void (StationController::*handle)(long value);
    };
    static const NotificationRow kNotificationRows[8];

    void OnNotification(unsigned long code, long value);
    void OnAutoInformation(long value);
    void OnIdentity(long value);
    void OnStatus(long value);
    void OnPowerState(long value);
    void OnReceive(long value);
    void OnTransmit(long value);
    void OnSessionTick(long value);
    void OnConnectionEvent(long value);
    void OnPollTimer();

    // The start and stop sequences, one step each.
    void OnWorker(std::function<void()> job, void (StationController::*next)());
    void JoinWorker();
    void After(int ms, void (StationController::*next)());
    void StartLinkOpened();
    void StartAfterPreamble();
    void PollIdentity();
    void StartLinkClosed();
    bool SettingsAreNumbers();
    void WarnAboutSettings();
    void FinishStart(StartResult result);
    bool PrepareListeners();
    void BeginStop();
    void CloseLink();
    void FinishStop();

    bool EnterBusy();
    void LeaveBusy(bool entered);
    void Log(const QString& line);
    void SetOnAir(bool on);
    void ClearPanel();
    void RefreshSessionTime();
    void StopVoice();
    void DropPendingNotifications();
    void TakePendingNotifications();

    void SetModelName(const QString& v);
    void SetPowerLamp(bool v);
    void SetControlLamp(bool v);
    void SetUserId(const QString& v);
    void SetClientAddress(const QString& v);
    void SetDescription(const QString& v);
    void SetSessionTime(const QString& v);
    void SetStarted(bool v);
    void SetControlEnabled(bool v);
    template <class T, class Signal>
    void Update(T& field, const T& value, Signal changed)
    {
        if (field == value)
            return;
        field = value;
        emit(this->*changed)(field);
    }

    brenlow::Profile& profile_;
    const HostOptions options_;
    brenlow::AlertSink* alerts_;
    CBrenlow radio_;
    Mailbox mailbox_;
    QTimer pollTimer_;
    QTimer stepTimer_;  // the pauses of the start sequence
    VoiceService* voice_ = nullptr;
    std::map<QEvent::Type, std::function<void(QEvent*)>> routes_;

    // The sequence under way; a stop or close asked for during a start waits for its end.
    enum class Phase { Idle, Starting, Stopping };
    Phase phase_ = Phase::Idle;
    std::optional<StopCause> pendingStop_;
    bool closeRequested_ = false;
    bool enteredBusy_ = false;
    // Set once the stop's own commands are written: the unkey stays the radio's last command, so
    // what the radio still reports is no longer answered (an "AI" answer would switch reports on).
    bool stopWritten_ = false;
    std::thread worker_;        // the library's blocking open or close of this sequence
    bool linkOpened_ = false;   // written by the worker before its end is posted
    int comPort_ = 0, baud_ = 0, ipPort_ = 0;
    int tlsPort_ = 0;  // 0: TLS off
    QString tlsCertFile_, tlsKeyFile_;
    std::unique_ptr<SecurityProvider> tlsProvider_;  // the server's, replaced only while it is closed
    int identityPolls_ = 0;
    StartResult closedResult_ = StartResult::NotAllowed;
    StopCause stopCause_ = StopCause::Command;

    unsigned watchdogCount_ = 0;
    unsigned modelId_ = 0;
    bool radioPowerOn_ = false;
    bool transmitting_ = false;
    bool voiceActive_ = false;
    bool running_ = false;
    bool serverOpen_ = false;
    bool clientLoggedIn_ = false;
    bool busy_ = false;

    QString modelName_;
    bool powerLamp_ = false;
    bool controlLamp_ = false;
    QString userId_;
    QString clientAddress_;
    QString description_;
    QString sessionTime_;
    QString failureDetail_;
    bool started_ = false;
    bool controlEnabled_ = true;
};

}  // namespace quintar
