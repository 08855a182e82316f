// Station start and stop, the power switch, the notification dispatch, the poll timer with its
// watchdog, and the status panel's state. Everything runs on the controller's thread; the
// library's worker threads reach it only through posted notification events.
#include "StationController.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <optional>
#include <thread>
#include <utility>

#include <arpa/inet.h>

#include "FileSafety.h"
#include "SettingsModel.h"
#include "SettingsProfile.h"
#include "TlsSecurity.h"
#include "Utilities.h"

namespace quintar {

namespace {

using brenlow::kCorrin;
using brenlow::kDunmore;
constexpr unsigned kPresetModel = kCorrin;  // the identity the link opens with
constexpr int kIdentityPolls = 11;            // about one second of waiting for "ID"
constexpr int kIdentityPollGapMs = 100;
constexpr int kPreamblePauseMs = 300;
constexpr int kPowerSwitchPauseMs = 200;
constexpr char kErrorCaption[] = "Error!";

const unsigned char* Bytes(const char* text)
{
    return reinterpret_cast<const unsigned char*>(text);
}

// What keeps a serial device from opening, and what the operator can do about it: a speed the port
// does not take is a setting to mend; anything else the serial component tells.
QString SerialOpenFailure(int error, int baud)
{
    const auto& rates = settings::kBaudRates;
    if (error == EINVAL && std::find(rates.begin(), rates.end(), baud) == rates.end())
        return QStringLiteral("baud rate %1 (\"COM Baud\") is not one the serial port takes: 4800, 9600, 19200, "
                              "38400, 57600 or 115200")
            .arg(baud);
    return QString::fromLocal8Bit(CBrenlow::LastComPortFailure());
}

}  // namespace

// One row per notification code the panel reacts to; every other code only feeds the watchdog.
constexpr StationController::NotificationRow StationController::kNotificationRows[8] = {
    {brenlow::kAutoInformationAnswer, &StationController::OnAutoInformation},
    {brenlow::kIdentityAnswer, &StationController::OnIdentity},
    {brenlow::kStatusAnswer, &StationController::OnStatus},
    {brenlow::kPowerStateAnswer, &StationController::OnPowerState},
    {brenlow::kReceiveAnswer, &StationController::OnReceive},
    {brenlow::kTransmitAnswer, &StationController::OnTransmit},
    {brenlow::kSessionTick, &StationController::OnSessionTick},
    {brenlow::kConnectionEvent, &StationController::OnConnectionEvent},
};

namespace {
template <class Row, std::size_t N>
constexpr bool CodesAscend(const Row (&rows)[N])
{
    for (std::size_t i = 1; i < N; ++i)
        if (rows[i - 1].code >= rows[i].code)
            return false;
    return true;
}
}  // namespace

void StationController::Mailbox::Post(unsigned message, unsigned long wParam, long lParam)
{
    std::lock_guard<std::mutex> g(lock_);
    if (!target_)
        return;
    waiting_.push_back({message, wParam, lParam});
    if (!eventPosted_) {
        eventPosted_ = true;
        QCoreApplication::postEvent(target_, new QEvent(kEventType));
    }
}

std::vector<StationController::Mailbox::Message> StationController::Mailbox::Take()
{
    std::lock_guard<std::mutex> g(lock_);
    eventPosted_ = false;
    return std::exchange(waiting_, {});
}

void StationController::Mailbox::Discard()
{
    std::lock_guard<std::mutex> g(lock_);
    if (target_)
        QCoreApplication::removePostedEvents(target_, kEventType);
    waiting_.clear();
    eventPosted_ = false;
}

void StationController::Mailbox::Synchronize()
{
    std::lock_guard<std::mutex> g(lock_);
}

void StationController::Mailbox::PostCall(std::function<void()> call)
{
    std::lock_guard<std::mutex> g(lock_);
    if (target_)
        QMetaObject::invokeMethod(target_, std::move(call), Qt::QueuedConnection);
}

void StationController::Mailbox::Detach()
{
    std::lock_guard<std::mutex> g(lock_);
    target_ = nullptr;
}

StationController::StationController(brenlow::Profile& profile, HostOptions options, brenlow::AlertSink* alerts,
                                     QObject* parent)
    : QObject(parent), profile_(profile), options_(options), alerts_(alerts), mailbox_(this)
{
    pollTimer_.setSingleShot(true);  // the tick rearms it, one second at a time
    // The start's pauses are part of what the radio sees on its line: kept to the millisecond.
    stepTimer_.setSingleShot(true);
    stepTimer_.setTimerType(Qt::PreciseTimer);
    pollTimer_.setInterval(kPollIntervalMs);
    connect(&pollTimer_, &QTimer::timeout, this, &StationController::OnPollTimer);
    CBrenlow::SetProfile(&profile_);
    if (alerts_)
        CBrenlow::SetAlertSink(alerts_);
    CBrenlow::SetVoiceCapabilityCheck(&GetVoiceEnableOS);
    radio_.WinMsgSendReg(&mailbox_);
    if (options_.loadMessageEnabled)
        radio_.SetLoadMessageEnable(1);
}

StationController::~StationController()
{
    // The owner ends the station before this (RequestClose); what is left is stopped here at once.
    stepTimer_.stop();
    JoinWorker();
    if (voiceActive_)
        StopVoice();
    if (running_) {
        stopCause_ = StopCause::Teardown;
        closeRequested_ = false;
        BeginStop();
        CloseLink();
        FinishStop();
    }
    radio_.WinMsgSendReg(nullptr);
    mailbox_.Detach();
    if (options_.loadMessageEnabled)
        radio_.SetLoadMessageEnable(0);
    CBrenlow::SetVoiceCapabilityCheck(nullptr);
    if (alerts_)
        CBrenlow::SetAlertSink(nullptr);
    CBrenlow::SetProfile(nullptr);
}

void StationController::SetListenAddress(const std::string& address)
{
    CBrenlow::SetListenAddress(address.c_str());
}

void StationController::SetTlsFiles(const QString& certFile, const QString& keyFile)
{
    tlsCertFile_ = certFile;
    tlsKeyFile_ = keyFile;
}

QString StationController::TlsFingerprint() const
{
    return tlsProvider_ && tlsPort_ ? QString::fromStdString(tlsProvider_->Fingerprint()) : QString();
}

// Which ports the server opens, and TLS's key material read afresh: a start that cannot serve as
// set is refused with what to do.
bool StationController::PrepareListeners()
{
    using settings::Id;
    const bool tls = settings::ReadInt(profile_, Id::Tls) != 0;
    const bool plain = settings::ReadInt(profile_, Id::Plain) != 0;
    tlsPort_ = 0;
    QString refusal;
    if (!tls && !plain) {
        refusal = QStringLiteral("the plain port (\"%1\") and TLS (\"%2\") are both off, so no client could connect; "
                                 "switch one on: quintar setup set plain on, or quintar setup tls")
                      .arg(QString::fromStdString(settings::KeyOf(Id::Plain)), QString::fromStdString(settings::KeyOf(Id::Tls)));
    } else if (tls) {
        const int port = settings::EffectiveTlsPort(profile_);
        if (port < settings::kMinTcpPort || port > settings::kMaxTcpPort || (plain && port == ipPort_)) {
            refusal = QStringLiteral("the TLS port %1 (\"%2\") is outside %3 or the same as the plain port")
                          .arg(port)
                          .arg(QString::fromStdString(settings::KeyOf(Id::TlsPort)),
                               QString::fromStdString(settings::AllowedValues(Id::TcpPort)));
        } else if (tlsCertFile_.isEmpty()) {
            refusal = QStringLiteral("TLS is on but this station has no certificate file; run: quintar setup tls");
        } else {
            std::string error;
            tlsProvider_ = drisko::tls::TlsProvider::Load(tlsCertFile_.toStdString(), tlsKeyFile_.toStdString(), error);
            if (!tlsProvider_)
                refusal = QString::fromStdString(error) + QStringLiteral("; run: quintar setup tls");
            else
                tlsPort_ = port;
        }
    }
    if (!refusal.isEmpty()) {
        failureDetail_ = refusal;
        emit ErrorMessage(QString::fromLatin1(kErrorCaption), refusal);
        return false;
    }
    CBrenlow::SetSecurePort(static_cast<unsigned>(tlsPort_), tlsPort_ ? tlsProvider_.get() : nullptr, plain ? 1 : 0);
    return true;
}

QString StationController::LocalAddress()
{
    char local[25] = {};
    radio_.GetLocalIP(local);
    return QString::fromLatin1(local);
}

void StationController::RouteEvent(QEvent::Type type, std::function<void(QEvent*)> handler)
{
    routes_[type] = std::move(handler);
}

bool StationController::event(QEvent* e)
{
    mailbox_.Synchronize();
    if (e->type() == Mailbox::kEventType) {
        TakePendingNotifications();
        return true;
    }
    if (const auto route = routes_.find(e->type()); route != routes_.end()) {
        route->second(e);
        return true;
    }
    return QObject::event(e);
}

void StationController::TakePendingNotifications()
{
    for (const Mailbox::Message& m : mailbox_.Take())
        if (m.message == brenlow::kNotifyMessage)
            OnNotification(m.code, m.value);
}

// ---- Start, stop, power switch ---------------------------------------------------------------
//
// Both sequences run as steps on the event loop: the pauses are timers, and the library's calls
// that block (opening the serial line, closing the server and the line) run on a worker thread
// whose end is the next step. Notifications are handled between the steps as they arrive.

void StationController::OnWorker(std::function<void()> job, void (StationController::*next)())
{
    JoinWorker();
    worker_ = std::thread([this, job = std::move(job), next] {
        job();
        mailbox_.PostCall([this, next] {
            JoinWorker();
            (this->*next)();
        });
    });
}

void StationController::JoinWorker()
{
    if (worker_.joinable())
        worker_.join();
}

void StationController::After(int ms, void (StationController::*next)())
{
    stepTimer_.disconnect();
    connect(&stepTimer_, &QTimer::timeout, this, next);
    stepTimer_.start(ms);
}

void StationController::Start()
{
    if (phase_ != Phase::Idle)
        return;  // busy: refused
    using settings::Id;
    comPort_ = settings::ReadInt(profile_, Id::ComPort);
    baud_ = settings::ReadInt(profile_, Id::ComBaud);
    failureDetail_.clear();
    emit FocusRequested(FocusTarget::PowerSwitch);
    SetControlEnabled(false);
    enteredBusy_ = EnterBusy();
    phase_ = Phase::Starting;

    ipPort_ = settings::ReadInt(profile_, Id::TcpPort);
    if (!running_ && !SettingsAreNumbers()) {
        FinishStart(StartResult::NotAllowed);
        return;
    }
    if (ipPort_ < settings::kMinTcpPort || ipPort_ > settings::kMaxTcpPort || running_) {
        FinishStart(StartResult::NotAllowed);
        return;
    }
    if (!PrepareListeners()) {
        FinishStart(StartResult::NotAllowed);
        return;
    }
    WarnAboutSettings();
    if (comPort_ >= settings::kMinComPort) {
        const std::string device = settings::ReadComDevice(profile_, comPort_);
        CBrenlow::SetComPortPath(static_cast<unsigned>(comPort_), device.c_str());
    }
    const unsigned port = static_cast<unsigned>(comPort_), baud = static_cast<unsigned>(baud_);
    OnWorker([this, port, baud] { linkOpened_ = radio_.RadioConnectionOpen(kPresetModel, port, baud, 1) != 0; },
             &StationController::StartLinkOpened);
}

void StationController::StartLinkOpened()
{
    if (!linkOpened_) {
        const std::string device = CBrenlow::ComPortPath(static_cast<unsigned>(comPort_));
        const int error = CBrenlow::LastComPortError();
        const QString reason = SerialOpenFailure(error, baud_);
        failureDetail_ = QStringLiteral("device %1: %2").arg(QString::fromStdString(device), reason);
        if (error == ENOENT)
            failureDetail_ += QStringLiteral("; set the device with: quintar setup set com-device N PATH");
        Log(QString::asprintf("- START - Failed. Can not open COM%d.",
                              settings::ReadInt(profile_, settings::Id::ComPort)));
        emit SerialPortUnavailable(PortName(), reason);
        FinishStart(StartResult::SerialPortFailed);
        return;
    }
    running_ = true;
    // Wakes a radio left in packet or terminal mode and gives control back to the computer.
    radio_.ConnDirect(Bytes(";;"));
    After(kPreamblePauseMs, &StationController::StartAfterPreamble);
}

void StationController::StartAfterPreamble()
{
    char wake[16];
    std::snprintf(wake, sizeof wake, "%c;\rTC 1;\r", 3);
    radio_.ConnDirect(Bytes(wake));
    radio_.ConnDirect(Bytes(";"));
    radio_.ConnID();
    identityPolls_ = 0;
    PollIdentity();
}

void StationController::PollIdentity()
{
    unsigned id = 0;
    const int known = radio_.RcvDataID(&id);
    modelId_ = id;
    if (!known && ++identityPolls_ < kIdentityPolls) {
        After(kIdentityPollGapMs, &StationController::PollIdentity);
        return;
    }
    if (modelId_ == 0) {
        closedResult_ = StartResult::ModelNotDetected;
        OnWorker([this] { radio_.RadioConnectionClose(); }, &StationController::StartLinkClosed);
        return;
    }
    if (!(modelId_ == kCorrin || (modelId_ == kDunmore && options_.secondModelEnabled))) {
        closedResult_ = StartResult::ModelRefused;
        OnWorker([this] { radio_.RadioConnectionClose(); }, &StationController::StartLinkClosed);
        return;
    }
    if (!radio_.SocketServerOpen(static_cast<unsigned>(ipPort_))) {
        const int error = CBrenlow::LastSocketError();
        const QString address = QString::fromStdString(CBrenlow::ListenAddress());
        in_addr parsed{};
        if (::inet_pton(AF_INET, address.toLatin1().constData(), &parsed) != 1) {
            failureDetail_ = QStringLiteral("the listen address \"%1\" (QUINTAR_LISTEN_ADDRESS) is no IPv4 address; "
                                            "the station listens on IPv4 only, such as 127.0.0.1 or 0.0.0.0")
                                 .arg(address);
        } else {
            // The address is named where it is the reason.
            const QString where = error == EADDRNOTAVAIL ? QStringLiteral(" on ") + address : QString();
            const unsigned failedPort = CBrenlow::LastSocketErrorPort();
            failureDetail_ = QStringLiteral("TCP port %1%2: %3")
                                 .arg(failedPort ? static_cast<int>(failedPort) : ipPort_)
                                 .arg(where, QString::fromLocal8Bit(std::strerror(error)));
            if (error == EADDRINUSE)
                failureDetail_ += QStringLiteral("; another program listens there");
            else if (error == EACCES)
                failureDetail_ += QStringLiteral("; this user may not listen on that port");
            else if (error == EADDRNOTAVAIL)
                failureDetail_ += QStringLiteral("; no network interface of this computer has that address");
        }
        closedResult_ = StartResult::SocketFailed;
        OnWorker([this] { radio_.RadioConnectionClose(); }, &StationController::StartLinkClosed);
        return;
    }
    serverOpen_ = true;
    radio_.ConnPS("R", 0);
    radio_.ConnAI("R", 0);
    SetControlLamp(true);
    pollTimer_.start();
    SetStarted(true);
    Log(QString::asprintf("- START - Successful COM%d, Socket:%d.", comPort_, ipPort_));
    if (tlsPort_)
        emit SecureListening(tlsPort_, TlsFingerprint());
    FinishStart(StartResult::Started);
}

// After a start that failed once the line was open: the line is closed again.
void StationController::StartLinkClosed()
{
    DropPendingNotifications();
    running_ = false;
    switch (closedResult_) {
    case StartResult::ModelNotDetected:
        Log(QStringLiteral("- START - Failed. Can not detect Radio Model ID."));
        emit ErrorMessage(QString::fromLatin1(kErrorCaption),
                          QStringLiteral(" An unknown device is connected to %1, or the Baud rate in this "
                                         "software does not mutch in the Transceiver.\n Check the status of %1.\n")
                              .arg(PortName()));
        break;
    case StartResult::ModelRefused: {
        Log(QStringLiteral("- START - Failed. Radio is Unsupported."));
        unsigned char name[25] = {};
        radio_.GetRadioName(modelId_, name);
        emit ErrorMessage(QString::fromLatin1(kErrorCaption),
                          QStringLiteral("The transceiver connected to %1 is %2.\n Be sure to connect the "
                                         "Radio to the %1.\n")
                              .arg(PortName(), QString::fromLatin1(reinterpret_cast<const char*>(name))));
        break;
    }
    default:
        Log(QString::asprintf("- START - Failed. Can not open socket:%d.", ipPort_));
        break;
    }
    ClearPanel();
    FinishStart(closedResult_);
}

QString StationController::PortName() const
{
    const QString name = QStringLiteral("COM%1").arg(comPort_);
    const std::string device = CBrenlow::ComPortPath(static_cast<unsigned>(comPort_));
    return device.empty() ? name : name + QStringLiteral(" (%1)").arg(QString::fromStdString(device));
}

// The start's number settings: one that holds no number would be read as its default, a device,
// speed or port the operator never chose; the start refuses it instead.
bool StationController::SettingsAreNumbers()
{
    for (const settings::Id id : {settings::Id::ComPort, settings::Id::ComBaud, settings::Id::TcpPort}) {
        if (const settings::Refusal bad = settings::StoredNotANumber(profile_, id)) {
            failureDetail_ = QString::fromStdString(*bad);
            emit ErrorMessage(QString::fromLatin1(kErrorCaption),
                              QStringLiteral("Nothing started: %1.\n").arg(failureDetail_));
            return false;
        }
    }
    return true;
}

// What the operator should know before the station serves: copies of a user id, users in slots
// nothing reads, and a log folder where others could plant files in the log's place.
void StationController::WarnAboutSettings()
{
    if (auto* file = dynamic_cast<SettingsProfile*>(&profile_))
        for (const std::string& warning : settings::UserSlotWarnings(*file))
            emit Warning(QString::fromStdString(warning));
    if (settings::ReadInt(profile_, settings::Id::Log) == 0)
        return;
    const std::string folder = settings::ReadText(profile_, settings::Id::LogFolder);
    if (const std::optional<FolderExposure> open = FolderOpenToOthers(folder))
        emit Warning(QStringLiteral("the access log folder %1 can be written by other users (mode %2, owner %3); "
                                    "a file they put there can stop the log")
                         .arg(QString::fromStdString(folder))
                         .arg(open->mode, 4, 8, QLatin1Char('0'))
                         .arg(open->owner));
}

void StationController::FinishStart(StartResult result)
{
    LeaveBusy(enteredBusy_);
    SetControlEnabled(true);
    if (!running_)
        emit FocusRequested(FocusTarget::Control);
    phase_ = Phase::Idle;
    emit StartFinished(result);
    // What was asked for while the start ran.
    if (std::optional<StopCause> cause = std::exchange(pendingStop_, std::nullopt))
        Stop(*cause);
    else if (closeRequested_)
        RequestClose();
}

void StationController::RequestClose()
{
    closeRequested_ = true;
    if (phase_ != Phase::Idle)
        return;  // the end of the start or stop under way carries it out
    if (running_) {
        Stop(StopCause::Teardown);
        return;
    }
    QTimer::singleShot(0, this, [this] { emit CloseReady(); });
}

void StationController::Stop(StopCause cause)
{
    if (phase_ == Phase::Starting) {
        pendingStop_ = cause;  // carried out once the start has ended
        return;
    }
    if (phase_ == Phase::Stopping)
        return;
    enteredBusy_ = EnterBusy();
    if (!running_) {
        LeaveBusy(enteredBusy_);
        if (closeRequested_)
            QTimer::singleShot(0, this, [this] { emit CloseReady(); });
        return;
    }
    phase_ = Phase::Stopping;
    stopCause_ = cause;
    BeginStop();
    OnWorker([this] { CloseLink(); }, &StationController::FinishStop);
}

void StationController::BeginStop()
{
    pollTimer_.stop();
    // Nothing a client sends reaches the radio from here on, so what keyed it is known for good.
    CBrenlow::CloseClientPath();
    TakePendingNotifications();
    // In terminal mode the radio's line takes no other command: it is left first.
    if (modelId_ == kDunmore)
        radio_.ConnTC("W", 0, 1);
    if (modelId_ == kCorrin)
        radio_.ConnKY("W", Bytes(""));  // clears the keyer's buffer: "KY" and 25 blanks
    radio_.ConnAI("W", 0);
    // A transmitter left keyed would stay on the air with nobody at the station: the unkey is the
    // stop's last command.
    if (transmitting_ || CBrenlow::ClientKeyedTransmitter())
        radio_.ConnRX();
    stopWritten_ = true;
    if (voiceActive_)
        StopVoice();
}

void StationController::CloseLink()
{
    radio_.SocketServerClose();
    radio_.RadioConnectionClose();
}

void StationController::FinishStop()
{
    TakePendingNotifications();  // what the radio said before the line closed, dropped
    stopWritten_ = false;
    SetPowerLamp(false);
    radioPowerOn_ = false;
    SetOnAir(false);
    SetControlLamp(false);
    ClearPanel();
    running_ = false;
    serverOpen_ = false;
    // The server's close ends a logged-in client's session without a connection event;
    // left set, the flag would keep the next start from polling.
    clientLoggedIn_ = false;
    SetStarted(false);
    Log(QStringLiteral("- END - End VEXA."));
    LeaveBusy(enteredBusy_);
    phase_ = Phase::Idle;
    emit Stopped(stopCause_);
    if (closeRequested_)
        QTimer::singleShot(0, this, [this] { emit CloseReady(); });
}

void StationController::Control(StopCause cause)
{
    if (phase_ != Phase::Idle)
        return;
    if (running_)
        Stop(cause);
    else
        Start();
}

void StationController::PowerSwitch()
{
    if (!running_ || phase_ != Phase::Idle)
        return;
    // 9 is the Corrin's own switch-off value.
    const unsigned parameter = !radioPowerOn_ ? 1 : (modelId_ == kCorrin ? 9 : 0);
    radio_.ConnPS("W", parameter);
    QTimer::singleShot(kPowerSwitchPauseMs, this, [this, parameter] {
        if (running_)
            radio_.ConnPS("R", parameter);
    });
}

bool StationController::PowerSwitchInterrupts() const
{
    return running_ && phase_ == Phase::Idle && radioPowerOn_ && (clientLoggedIn_ || transmitting_);
}

// ---- Notifications ----------------------------------------------------------------------------

void StationController::OnNotification(unsigned long code, long value)
{
    static_assert(CodesAscend(kNotificationRows), "one row per code, in ascending order");
    watchdogCount_ = 0;
    if (stopWritten_)
        return;
    for (const NotificationRow& row : kNotificationRows) {
        if (row.code == code) {
            (this->*row.handle)(value);
            return;
        }
    }
}

void StationController::OnAutoInformation(long value)
{
    if (value != 2)
        radio_.ConnAI("W", 2);
}

void StationController::OnIdentity(long value)
{
    const char* name = value == kDunmore ? "Dunmore" : value == kCorrin ? "Corrin" : "Unknown";
    SetModelName(QString::fromLatin1(name));
    modelId_ = static_cast<unsigned>(value);
}

void StationController::OnStatus(long)
{
    unsigned char frequency[32] = {};
    unsigned f[14] = {};
    if (!radio_.RcvDataIF(frequency, &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7], &f[8], &f[9], &f[10],
                          &f[11], &f[12], &f[13]))
        return;
    const unsigned transmitReceive = f[6];
    if (transmitReceive == 0)
        SetOnAir(false);
    else if (transmitReceive == 1)
        SetOnAir(true);
}

void StationController::OnPowerState(long value)
{
    if (value == 1 && !radioPowerOn_) {
        SetPowerLamp(true);
        radioPowerOn_ = true;
        radio_.ConnDC("R", 0, 0);
        radio_.ConnIF();
    } else if (value == 0 && radioPowerOn_) {
        SetPowerLamp(false);
        radioPowerOn_ = false;
        SetOnAir(false);
    }
}

void StationController::OnReceive(long)
{
    SetOnAir(false);
}

void StationController::OnTransmit(long)
{
    SetOnAir(true);
}

void StationController::OnSessionTick(long)
{
    RefreshSessionTime();
}

void StationController::OnConnectionEvent(long value)
{
    char address[30] = {};
    char user[35] = {};
    char description[131] = {};
    switch (value) {
    case brenlow::kClientAccepted:
        CBrenlow::GetClientIP(address);
        break;
    case brenlow::kClientClosing:
        if (voiceActive_)
            StopVoice();
        clientLoggedIn_ = false;
        pollTimer_.start();
        break;
    case brenlow::kClientLoggedIn:
        pollTimer_.stop();
        if (settings::ReadInt(profile_, settings::Id::Voice) != 0 && GetVoiceEnableOS() && voice_ &&
            voice_->Start()) {
            voiceActive_ = true;
            radio_.SonnVEXA_VE(1);
        }
        CBrenlow::GetClientIP(address);
        radio_.GetLoginUserID(user);
        radio_.GetUserDescription(user, description);
        clientLoggedIn_ = true;
        break;
    default:
        break;
    }
    SetClientAddress(QString::fromLatin1(address));
    SetUserId(QString::fromUtf8(user));
    SetDescription(QString::fromUtf8(description));
    RefreshSessionTime();
    emit ConnectionEvent(static_cast<int>(value));
}

void StationController::OnPollTimer()
{
    if (!running_)
        return;  // a tick that outlived a stop
    radio_.ConnPS("R", 0);
    if (radioPowerOn_)
        radio_.ConnAI("R", 0);
    ++watchdogCount_;
    if (watchdogCount_ > kWatchdogLimit) {
        failureDetail_ = QStringLiteral("the radio gave no answer to %1 polls in a row; is it switched on, and is its "
                                        "cable or USB adapter at %2 still connected?")
                             .arg(watchdogCount_)
                             .arg(QString::fromStdString(CBrenlow::ComPortPath(static_cast<unsigned>(
                                 settings::ReadInt(profile_, settings::Id::ComPort)))));
        Control(StopCause::Watchdog);
    }
    else if (serverOpen_ && !clientLoggedIn_)
        pollTimer_.start();
}

// ---- Panel ------------------------------------------------------------------------------------

void StationController::RefreshSessionTime()
{
    QString text;
    unsigned eh = 0, em = 0, es = 0, lh = 0, lm = 0, ls = 0;
    if (radio_.RcvDataVEXA_ST(&eh, &em, &es, &lh, &lm, &ls) && clientLoggedIn_ && CBrenlow::GetClientExest()) {
        if (lh == 0 && lm == 0 && ls == 0)
            text = QStringLiteral("Unlimited");
        else if (eh != 0 || em != 0 || es != 0)
            text = QString::asprintf("%0d:%02d:%02d / %0d:%02d:%02d", eh, em, es, lh, lm, ls);
    }
    SetSessionTime(text);
}

void StationController::ClearPanel()
{
    SetDescription({});
    SetUserId({});
    SetClientAddress({});
    SetSessionTime({});
    SetModelName({});
    SetOnAir(false);
}

void StationController::SetOnAir(bool on)
{
    if (transmitting_ == on)
        return;
    transmitting_ = on;
    emit OnAirChanged(on);
}

void StationController::StopVoice()
{
    if (voice_)
        voice_->Stop();
    voiceActive_ = false;
}

// Answers posted before a failed start closed the link would refill the cleared panel.

void StationController::DropPendingNotifications()
{
    mailbox_.Discard();
}

bool StationController::EnterBusy()
{
    if (busy_)
        return false;
    busy_ = true;
    emit BusyChanged(true);
    return true;
}

void StationController::LeaveBusy(bool entered)
{
    if (!entered)
        return;
    busy_ = false;
    emit BusyChanged(false);
}

void StationController::Log(const QString& line)
{
    CBrenlow::VexaLogAdd(line.toLatin1().constData());
    emit LogWritten(line);
}

void StationController::SetModelName(const QString& v)
{
    Update(modelName_, v, &StationController::ModelNameChanged);
}

void StationController::SetPowerLamp(bool v)
{
    Update(powerLamp_, v, &StationController::PowerLampChanged);
}

void StationController::SetControlLamp(bool v)
{
    Update(controlLamp_, v, &StationController::ControlLampChanged);
}

void StationController::SetUserId(const QString& v)
{
    Update(userId_, v, &StationController::UserIdChanged);
}

void StationController::SetClientAddress(const QString& v)
{
    Update(clientAddress_, v, &StationController::ClientAddressChanged);
}

void StationController::SetDescription(const QString& v)
{
    Update(description_, v, &StationController::DescriptionChanged);
}

void StationController::SetSessionTime(const QString& v)
{
    Update(sessionTime_, v, &StationController::SessionTimeChanged);
}

void StationController::SetStarted(bool v)
{
    Update(started_, v, &StationController::StartedChanged);
}

void StationController::SetControlEnabled(bool v)
{
    Update(controlEnabled_, v, &StationController::ControlEnabledChanged);
}

}  // namespace quintar
