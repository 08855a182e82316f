// Loading the window library by name: search order, entry point, one-line reasons.
#include "WindowLibrary.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace quintar {

QStringList WindowLibraryCandidates(const QString& programFolder)
{
    QStringList candidates;
    if (!programFolder.isEmpty())
        candidates << programFolder + QLatin1Char('/') + QLatin1String(kQuintarWindowFile)
                   << QDir::cleanPath(programFolder + QStringLiteral("/" QUINTAR_PRIVATE_DIR "/") +
                                      QLatin1String(kQuintarWindowFile));
    candidates << QStringLiteral("quintar-window");
    return candidates;
}

QString ProgramFolder()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

WindowLibrary LoadWindowLibrary(const QStringList& candidates)
{
    WindowLibrary window;
    for (const QString& candidate : candidates) {
        if (candidate.contains(QLatin1Char('/')) && !QFileInfo::exists(candidate))
            continue;
        QLibrary library(candidate);
        if (!library.load()) {
            // The first real failure (a GUI library missing) says more than a later "not found".
            if (window.reason.isEmpty())
                window.reason = library.errorString();
            continue;
        }
        const auto main = reinterpret_cast<QuintarWindowMainFn>(library.resolve(kQuintarWindowMainSymbol));
        if (!main) {
            window.reason = library.fileName() + QStringLiteral(": no window entry point");
            continue;
        }
        return {main, library.fileName(), {}};
    }
    if (window.reason.isEmpty())
        window.reason = QStringLiteral("%1 not found").arg(QLatin1String(kQuintarWindowFile));
    return window;
}

}  // namespace quintar
