// The station's window is a library of its own, loaded by name at run time, so that the program
// links QtCore alone and runs headless where the window's package (with the GUI libraries) is not
// installed. The library has one C entry point.
#pragma once

#include <QString>
#include <QStringList>

extern "C" {
// Runs the windowed host to its end and returns its exit status; `argv` is the whole command line.
using QuintarWindowMainFn = int (*)(int* argc, char** argv);
}
inline constexpr char kQuintarWindowMainSymbol[] = "QuintarWindowMain";
inline constexpr char kQuintarWindowFile[] = "libquintar-window.so";

namespace quintar {

struct WindowLibrary {
    QuintarWindowMainFn main = nullptr;  // null: no window here
    QString path;                        // the file that was loaded
    QString reason;                      // one line, when main is null
    explicit operator bool() const { return main != nullptr; }
};

// The places looked at, in order: the program's folder, the station's private library folder found
// from it (bin/../lib/<arch>/quintar when installed; the build tree keeps the same layout), then the
// bare name, which the system's library search resolves.
QStringList WindowLibraryCandidates(const QString& programFolder);
// The running program's folder, from the kernel (no application object is needed).
QString ProgramFolder();

// Tries the candidates in order (a file path that does not exist is skipped); the first that loads
// and has the entry point wins, and stays loaded for the rest of the process.
WindowLibrary LoadWindowLibrary(const QStringList& candidates);

}  // namespace quintar
