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
    QStringList folders;
    for (const QString& candidate : candidates) {
        const bool path = candidate.contains(QLatin1Char('/'));
        if (path && !QFileInfo::exists(candidate)) {
            folders << QFileInfo(candidate).absolutePath();
            continue;
        }
        QLibrary library(candidate);
        if (!library.load()) {
            // A file that is there but does not load (a GUI library missing) says why; the bare name
            // failing only repeats that the file was found nowhere.
            if (window.reason.isEmpty() && path)
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
        window.reason = QStringLiteral("no %1 in %2 or the system's library folders")
                            .arg(QLatin1String(kQuintarWindowFile), folders.join(QStringLiteral(", ")));
    return window;
}

}  // namespace quintar
