// CHostApp, the windowed host from start to end: the start-up checklist reporting in message boxes
// (a second copy on the same profile brings the first one's window to the front and ends
// silently), the application icon, a second launch's request to come to the front, the stop
// signals, then the main window until it closes. The program loads it from the window library,
// once it has found a display.
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
    static constexpr int kUsage = 2;         // an incomplete argument

    // The windowed program, run where the program has found a display. `argv` is the whole
    // command line.
    static int Main(int& argc, char** argv);

    CHostApp(int& argc, char** argv);
    // Runs the host to its end and returns its exit status.
    int Run(const HostOptions& options, const QString& profileOption);
};

}  // namespace quintar
