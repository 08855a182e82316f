// Finds and loads the voice library Ambrel at run time, so that the host builds and runs without
// the SIP engine installed: voice is then unavailable, with a one-line reason.
#pragma once

#include "IncomingTapi.h"

#include <QString>
#include <QStringList>

struct AmbrelModule {
    AmbrelCreateFn create = nullptr;   // null: voice unavailable
    QString path;                      // the file that was loaded
    QString reason;                    // one line, when create is null
    explicit operator bool() const { return create != nullptr; }
};

// The places looked at, in order: the running program's folder, the station's private library
// folder found from it (bin/../lib/<arch>/quintar when installed; the build tree keeps the same
// layout), then the bare name, which the system's library search resolves.
QStringList AmbrelCandidates();

// Tries the candidates in order (a file path that does not exist is skipped); the first that loads
// wins. The library stays loaded for the rest of the process.
AmbrelModule AmbrelLoadFrom(const QStringList& candidates);

// AmbrelLoadFrom(AmbrelCandidates()), done once per process; later calls give the same result.
const AmbrelModule& AmbrelLoad();
