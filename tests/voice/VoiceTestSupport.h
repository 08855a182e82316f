// Helpers of the voice tests: a host stand-in that handles the voice events as the station does,
// SIP peers (sipp, baresip) run as real processes, free ports, and WAV tones written and analysed.
#pragma once

#include "IncomingTapi.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <memory>
#include <vector>

namespace voicetest {

// The folder $HOME points at for the whole test program; nothing may be written there.
QString HomeDir();

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs);
void PumpFor(int ms);

// A port free for both UDP and TCP on 127.0.0.1, and an even port whose next three are free
// for UDP (RTP and RTCP, twice for sipp's echo).
int FreeSipPort();
int FreeMediaPort();

// The host's handling of the voice events: the first announced call is answered, a call offered
// while one is held is refused, a disconnection of the only call releases it.
class HostStandIn : public QObject {
public:
    struct Seen {
        VoiceEventType type;
        VoiceDetail detail;
        const void* call;   // identity only; handles must not outlive the voice object
    };

    CIncomingTapi* voice = nullptr;
    int callCount = 0;
    std::vector<Seen> seen;

    int Count(VoiceEventType type, VoiceDetail detail) const;
    const void* CallOf(int nth) const;   // the nth distinct call announced, from 0
    QString Log() const;                 // every event seen, for failure messages

protected:
    bool event(QEvent* e) override;
};

// A SIP peer program run as a child process in the log file's folder; its output goes to the log
// file for failure messages.
class Peer {
public:
    static bool Installed(const QString& program);
    Peer(const QString& program, const QStringList& arguments, const QString& logFile,
         const QList<std::pair<QString, QString>>& environment = {});
    ~Peer();
    bool Started();
    bool Finished() const { return process_.state() == QProcess::NotRunning; }
    // Exit code once finished (pumping events meanwhile); -1 on a timeout or a crash.
    int Wait(int timeoutMs);
    QString Output() const;

private:
    QProcess process_;
    QString logFile_;
};

// sipp as caller with one of the scenarios; with `echo` the RTP it receives goes back to the
// station, without it sipp sends no audio at all.
QStringList SippArguments(const QString& scenario, int stationPort, bool tcp, bool echo = true);

// A folder with baresip's configuration: it calls from 127.0.0.1 with PCMU and sends `wav`.
QString WriteBaresipConfig(const QString& folder, const QString& wav);

// A 16-bit mono 8 kHz WAV file holding a sine tone.
bool WriteTone(const QString& path, double hz, double seconds);

struct ToneAnalysis {
    double activeSeconds = 0;   // time in 20 ms blocks whose RMS exceeds 500
    double hz = 0;              // estimated from zero crossings within those blocks
};
// Reads 16-bit PCM leniently: the engine's recorder writes a data size 44 bytes too large, and
// the header only when it closes the file.
ToneAnalysis AnalyseWav(const QString& path);

}  // namespace voicetest
