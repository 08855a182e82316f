// CHostApp, the windowed host from start to end: a display to open the window on, the profile,
// one host per profile (a second copy brings the first one's window to the front and ends
// silently), the application icon, the library's alerts and the stop signals, then the main
// window until it closes.
#pragma once

#include <QApplication>
#include <QString>

#include "HostOptions.h"

namespace quintar {

class CHostApp : public QApplication {
    Q_OBJECT
public:
    // Exit statuses of the windowed host.
    static constexpr int kClosed = 0;        // closed by the operator or a stop signal; also a second copy
    static constexpr int kUnusable = 1;      // the profile or its lock cannot be used
    static constexpr int kNoDisplay = 2;     // nothing to open the window on
    static constexpr int kUsage = 2;         // an incomplete argument

    // The windowed program: checks for a display first (one line on standard error and kNoDisplay
    // without one), then runs the host. `argv` is the whole command line.
    static int Main(int& argc, char** argv);

    // Whether a window can be opened: a Qt platform chosen in QT_QPA_PLATFORM, or a Wayland or X
    // display whose socket answers (an X display on another machine is taken on trust).
    static bool DisplayAvailable();

    CHostApp(int& argc, char** argv);
    // Runs the host to its end and returns its exit status.
    int Run(const HostOptions& options, const QString& profileOption);
};

}  // namespace quintar
