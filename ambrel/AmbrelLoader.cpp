// Loading the voice library by name: search order, entry point and ABI check, one-line reasons.
#include "AmbrelLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

QStringList AmbrelCandidates()
{
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QString folder = QCoreApplication::applicationDirPath();
        candidates << folder + QStringLiteral("/libAmbrel.so")
                   << QDir::cleanPath(folder + QStringLiteral("/" AMBREL_PRIVATE_DIR "/libAmbrel.so"));
    }
    candidates << QStringLiteral("Ambrel");
    return candidates;
}

AmbrelModule AmbrelLoadFrom(const QStringList& candidates)
{
    AmbrelModule module;
    for (const QString& candidate : candidates) {
        if (candidate.contains('/') && !QFileInfo::exists(candidate))
            continue;
        QLibrary library(candidate);
        if (!library.load()) {
            // The first real failure (e.g. a missing SIP engine) says more than a later "not found".
            if (module.reason.isEmpty())
                module.reason = library.errorString();
            continue;
        }
        const auto version = reinterpret_cast<AmbrelAbiVersionFn>(library.resolve(kAmbrelAbiVersionSymbol));
        const auto create = reinterpret_cast<AmbrelCreateFn>(library.resolve(kAmbrelCreateSymbol));
        if (!version || !create) {
            module.reason = library.fileName() + ": no voice library entry point";
            continue;
        }
        if (version() != kAmbrelAbiVersion) {
            module.reason = QStringLiteral("%1: interface version %2, expected %3")
                                .arg(library.fileName()).arg(version()).arg(kAmbrelAbiVersion);
            continue;
        }
        return {create, library.fileName(), {}};
    }
    if (module.reason.isEmpty())
        module.reason = QStringLiteral("voice library Ambrel not found");
    return module;
}

const AmbrelModule& AmbrelLoad()
{
    static const AmbrelModule module = AmbrelLoadFrom(AmbrelCandidates());
    return module;
}
