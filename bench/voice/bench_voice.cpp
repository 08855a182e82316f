// Voice figures: memory and threads of the process without voice, with the library loaded, with
// the voice object listening and during a call; start-up time; INVITE to 200 OK as the caller
// (sipp) measures it, and Offering to Connected inside the process.
// Usage: bench_voice [calls]   (needs sipp; runs on 127.0.0.1 in file mode)
#include "AmbrelLoader.h"
#include "VoiceTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace voicetest;

namespace {

struct Footprint {
    long rssKb = 0;
    long privateDirtyKb = 0;   // what the process costs beyond shared, unmodified library pages
    int threads = 0;
    double cpuPercent = -1;   // over the idle second before the measurement, when there was one
};

double CpuSeconds()
{
    QFile stat("/proc/self/stat");
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses: utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? (fields[11].toDouble() + fields[12].toDouble()) / sysconf(_SC_CLK_TCK) : 0;
}

Footprint Measure(bool idleSecond = false)
{
    Footprint f;
    if (idleSecond) {
        // The host's own event loop, not a polling pump, so the CPU figure is the engine's.
        const double before = CpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        f.cpuPercent = (CpuSeconds() - before) * 100;
    }
    QFile rollup("/proc/self/smaps_rollup");
    if (rollup.open(QIODevice::ReadOnly))
        for (const QByteArray& line : rollup.readAll().split('\n'))
            if (line.startsWith("Private_Dirty:"))
                f.privateDirtyKb = line.mid(14).trimmed().split(' ').first().toLong();
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return f;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            f.rssKb = line.mid(6).trimmed().split(' ').first().toLong();
        if (line.startsWith("Threads:"))
            f.threads = line.mid(8).trimmed().toInt();
    }
    return f;
}

void Print(const char* what, const Footprint& f)
{
    std::printf("%-34s RSS %5.1f MB  private dirty %5.1f MB  threads %2d", what, f.rssKb / 1024.0,
                f.privateDirtyKb / 1024.0, f.threads);
    if (f.cpuPercent >= 0)
        std::printf("   CPU %4.1f %%", f.cpuPercent);
    std::printf("\n");
}

// The caller's response times (ms) from sipp's -trace_rtt file.
std::vector<double> ReadRtt(const QString& folder)
{
    std::vector<double> ms;
    for (const QString& name : QDir(folder).entryList({"*_rtt.csv"})) {
        QFile f(folder + "/" + name);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(';');
            bool ok = false;
            const double value = fields.size() >= 2 ? fields[1].toDouble(&ok) : 0;
            if (ok)
                ms.push_back(value);
        }
    }
    return ms;
}

void PrintSpread(const char* what, std::vector<double> ms)
{
    if (ms.empty()) {
        std::printf("%-34s no samples\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s min %6.1f  median %6.1f  max %6.1f ms  (%zu calls)\n", what, ms.front(), ms[ms.size() / 2],
                ms.back(), ms.size());
}

// The host stand-in that also notes when each call offered and connected.
class TimedHost : public HostStandIn {
public:
    QElapsedTimer clock;
    std::vector<qint64> offered, connected;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == VoiceEvent::kType) {
            const auto detail = static_cast<VoiceEvent*>(e)->detail();
            if (detail == VoiceDetail::Offering)
                offered.push_back(clock.nsecsElapsed());
            if (detail == VoiceDetail::Connected)
                connected.push_back(clock.nsecsElapsed());
        }
        return HostStandIn::event(e);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    if (!Peer::Installed("sipp")) {
        std::fprintf(stderr, "sipp not installed (Debian package sip-tester)\n");
        return 1;
    }
    QTemporaryDir tmp;
    Print("voice off (QtCore only)", Measure(true));

    const AmbrelModule& module = AmbrelLoad();
    if (!module) {
        std::fprintf(stderr, "voice unavailable: %s\n", qPrintable(module.reason));
        return 1;
    }
    Print("library loaded", Measure());

    AmbrelConfig config;
    config.sipPort = FreeSipPort();
    config.bindAddress = "127.0.0.1";
    config.dataDir = tmp.filePath("engine");
    config.playFile = tmp.filePath("tone.wav");
    config.recordFile = tmp.filePath("heard.wav");
    WriteTone(config.playFile, 1000, 30);

    TimedHost host;
    host.clock.start();
    std::unique_ptr<CIncomingTapi> voice(module.create(&host, &config));
    host.voice = voice.get();
    QElapsedTimer startup;
    startup.start();
    const int status = voice->InitializeTapi();
    const double startupMs = startup.nsecsElapsed() / 1e6;
    if (status != AmbrelOk) {
        std::fprintf(stderr, "InitializeTapi failed: %d\n", status);
        return 1;
    }
    Print("voice on, listening", Measure(true));

    {
        Peer sipp("sipp", SippArguments("uac_wait_bye.xml", config.sipPort, false), tmp.filePath("held.log"));
        PumpUntil([&] { return host.Count(VoiceEventType::CallMedia, VoiceDetail::StreamActive) >= 1; }, 15000);
        PumpFor(1000);
        Print("voice on, in a call", Measure(true));
        voice->DisconnectTheCall();
        sipp.Wait(15000);
    }
    PumpFor(1000);
    Print("voice on, after the call", Measure());

    // One call after another; sipp's "-m 1" becomes the series length, the station stays last.
    QStringList args = SippArguments("uac_pause_bye.xml", config.sipPort, false);
    const QString station = args.takeLast();
    args[args.indexOf("-m") + 1] = QString::number(calls);
    args << "-l" << "1" << "-trace_rtt" << "-rtt_freq" << "1" << station;
    const QString rttFolder = tmp.filePath("rtt");
    QDir().mkpath(rttFolder);
    Peer series("sipp", args, rttFolder + "/sipp.log");
    const int rc = series.Wait(calls * 5000 + 10000);
    PumpFor(500);

    voice->ShutdownTapi();
    voice.reset();
    Print("voice object deleted", Measure());

    std::printf("%-34s %6.1f ms\n", "InitializeTapi to listening", startupMs);
    PrintSpread("INVITE to 200 OK (sipp, UDP)", ReadRtt(rttFolder));
    std::vector<double> inside;
    for (size_t i = 0; i < std::min(host.offered.size(), host.connected.size()); ++i)
        inside.push_back((host.connected[i] - host.offered[i]) / 1e6);
    PrintSpread("Offering to Connected (in process)", inside);
    if (rc != 0)
        std::printf("sipp series exit code %d:\n%s\n", rc, qPrintable(series.Output()));
    return rc == 0 ? 0 : 1;
}
