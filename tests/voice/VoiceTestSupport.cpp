// Helpers of the voice tests: host stand-in, SIP peer processes, free ports, WAV tones.
#include "VoiceTestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QtEndian>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <numbers>

namespace voicetest {

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
        usleep(2000);
    }
    return true;
}

void PumpFor(int ms)
{
    PumpUntil([] { return false; }, ms);
}

namespace {

// Binds 127.0.0.1:port (0: any) and returns the bound port, or 0; the socket stays open in `fd`.
int Bind(int type, int port, int& fd)
{
    fd = socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    socklen_t len = sizeof a;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

bool Free(int type, int port)
{
    int fd = -1;
    const bool ok = Bind(type, port, fd) == port;
    if (fd >= 0)
        close(fd);
    return ok;
}

}  // namespace

int FreeSipPort()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        int fd = -1;
        const int port = Bind(SOCK_STREAM, 0, fd);
        if (fd >= 0)
            close(fd);
        if (port > 0 && Free(SOCK_DGRAM, port))
            return port;
    }
    return 0;
}

int FreeMediaPort()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        int fd = -1;
        const int port = Bind(SOCK_DGRAM, 0, fd) & ~1;
        if (fd >= 0)
            close(fd);
        if (port > 1024 && port < 65530 && Free(SOCK_DGRAM, port) && Free(SOCK_DGRAM, port + 1) &&
            Free(SOCK_DGRAM, port + 2) && Free(SOCK_DGRAM, port + 3))
            return port;
    }
    return 0;
}

bool HostStandIn::event(QEvent* e)
{
    if (e->type() != VoiceEvent::kType)
        return QObject::event(e);
    const auto* v = static_cast<VoiceEvent*>(e);
    seen.push_back({v->eventType(), v->detail(), v->call().get()});
    switch (v->eventType()) {
    case VoiceEventType::CallNotification:
        voice->currentCall = v->call();
        ++callCount;
        break;
    case VoiceEventType::CallState:
        if (v->detail() == VoiceDetail::Offering) {
            if (callCount == 1)
                voice->AnswerTheCall();
            else
                voice->DisconnectTheCall();
        } else if (v->detail() == VoiceDetail::Disconnected) {
            if (callCount == 1)
                voice->ReleaseTheCall();
            --callCount;
        }
        break;
    case VoiceEventType::CallMedia:
        break;
    }
    return true;
}

int HostStandIn::Count(VoiceEventType type, VoiceDetail detail) const
{
    return int(std::count_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.type == type && s.detail == detail; }));
}

const void* HostStandIn::CallOf(int nth) const
{
    for (const Seen& s : seen)
        if (s.type == VoiceEventType::CallNotification && nth-- == 0)
            return s.call;
    return nullptr;
}

QString HostStandIn::Log() const
{
    QString log;
    for (const Seen& s : seen)
        log += QStringLiteral("%1/%2@%3 ").arg(int(s.type)).arg(int(s.detail)).arg(quintptr(s.call), 0, 16);
    return log + QStringLiteral("callCount=%1").arg(callCount);
}

bool Peer::Installed(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

Peer::Peer(const QString& program, const QStringList& arguments, const QString& logFile,
           const QList<std::pair<QString, QString>>& environment)
    : logFile_(logFile)
{
    // The peers get their own home, so that the check of ours sees only what the station wrote.
    auto env = QProcessEnvironment::systemEnvironment();
    const QString home = QFileInfo(logFile).absolutePath() + "/peer-home";
    QDir().mkpath(home);
    env.insert("HOME", home);
    for (const auto& [name, value] : environment)
        env.insert(name, value);
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(QFileInfo(logFile).absolutePath());
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(logFile);
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.start(program, arguments);
}

Peer::~Peer()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool Peer::Started()
{
    return process_.waitForStarted(5000);
}

int Peer::Wait(int timeoutMs)
{
    if (!PumpUntil([this] { return Finished(); }, timeoutMs))
        return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QString Peer::Output() const
{
    QFile f(logFile_);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll().right(3000));
}

QStringList SippArguments(const QString& scenario, int stationPort, bool tcp, bool echo)
{
    QStringList args{"-sf", QStringLiteral(VOICE_SCENARIO_DIR "/") + scenario, "-s", "station", "-i", "127.0.0.1",
                     "-p", QString::number(FreeSipPort()), "-mp", QString::number(FreeMediaPort()),
                     "-m", "1", "-nostdin", "-timeout", "60s", "-timeout_error"};
    if (echo)
        args << "-rtp_echo";
    if (tcp)
        args << "-t" << "t1";
    return args << QStringLiteral("127.0.0.1:%1").arg(stationPort);
}

QString WriteBaresipConfig(const QString& folder, const QString& wav)
{
    QDir().mkpath(folder);
    const int sip = FreeSipPort();
    const int rtp = FreeMediaPort();
    auto write = [&](const QString& name, const QString& text) {
        QFile f(folder + "/" + name);
        return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size();
    };
    const bool ok =
        write("accounts", QStringLiteral("<sip:peer@127.0.0.1:%1;transport=udp>;regint=0;audio_codecs=PCMU\n").arg(sip)) &&
        write("contacts", "") &&
        write("config", QStringLiteral("sip_listen 127.0.0.1:%1\n"
                                       "net_interface 127.0.0.1\n"
                                       "audio_player alsa,null\n"
                                       "audio_source aufile,%2\n"
                                       "audio_alert alsa,null\n"
                                       "ausrc_srate 8000\nausrc_channels 1\nauplay_srate 8000\nauplay_channels 1\n"
                                       "rtp_ports %3-%4\n"
                                       "module_path /usr/lib/baresip/modules\n"
                                       "module g711.so\nmodule alsa.so\nmodule aufile.so\n"
                                       "module_tmp uuid.so\nmodule_tmp account.so\nmodule_app menu.so\n"
                                       "video_source none\n")
                             .arg(sip).arg(wav).arg(rtp).arg(rtp + 3));
    return ok ? folder : QString();
}

bool WriteTone(const QString& path, double hz, double seconds)
{
    const int rate = 8000;
    const int samples = int(rate * seconds);
    QByteArray data(samples * 2, '\0');
    for (int i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(2 * std::numbers::pi * hz * i / rate)), data.data() + 2 * i);
    QByteArray header(44, '\0');
    char* h = header.data();
    memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(36 + data.size(), h + 4);
    memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20);          // PCM
    qToLittleEndian<quint16>(1, h + 22);          // mono
    qToLittleEndian<quint32>(rate, h + 24);
    qToLittleEndian<quint32>(rate * 2, h + 28);   // bytes per second
    qToLittleEndian<quint16>(2, h + 32);          // block align
    qToLittleEndian<quint16>(16, h + 34);         // bits per sample
    memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(data.size(), h + 40);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(header + data) == header.size() + data.size();
}

ToneAnalysis AnalyseWav(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    if (bytes.size() < 44)
        return {};
    int rate = 8000, channels = 1, pos = 12;
    qsizetype dataAt = -1;
    // While the engine records, the header is still zeros; the data is then the call's 8 kHz mono.
    if (bytes.first(44).count('\0') == 44)
        dataAt = 44;
    else if (!bytes.startsWith("RIFF"))
        return {};
    while (dataAt < 0 && pos + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(pos, 4);
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + pos + 4);
        if (id == "fmt " && pos + 16 <= bytes.size()) {
            channels = qFromLittleEndian<quint16>(bytes.constData() + pos + 10);
            rate = int(qFromLittleEndian<quint32>(bytes.constData() + pos + 12));
        }
        if (id == "data") {
            dataAt = pos + 8;
            break;
        }
        pos += 8 + int(size);
    }
    if (dataAt < 0 || rate <= 0 || channels <= 0)
        return {};
    // First channel only; the size field is not trusted, the file's end is.
    std::vector<int> s;
    for (qsizetype i = dataAt; i + 2 * channels <= bytes.size(); i += 2 * channels)
        s.push_back(qFromLittleEndian<qint16>(bytes.constData() + i));
    const size_t block = size_t(rate / 50);
    size_t activeSamples = 0, crossings = 0;
    for (size_t b = 0; b + block <= s.size(); b += block) {
        double energy = 0;
        for (size_t i = b; i < b + block; ++i)
            energy += double(s[i]) * s[i];
        if (std::sqrt(energy / block) <= 500)
            continue;
        activeSamples += block;
        for (size_t i = b + 1; i < b + block; ++i)
            crossings += (s[i - 1] < 0) != (s[i] < 0);
    }
    ToneAnalysis result;
    result.activeSeconds = double(activeSamples) / rate;
    if (activeSamples > 0)
        result.hz = crossings / 2.0 / result.activeSeconds;
    return result;
}

}  // namespace voicetest
