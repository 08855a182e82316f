// The fixture of the tests that run `quintar --headless` as a real process: its command line on the
// fixture's profile, its environment, and the readiness line it prints once the station serves.
#pragma once

#include <csignal>

#include "StationFixture.h"

namespace stationtest {

class Headless : public StationTest {
protected:
    // Writes the profile and returns the host's command line.
    QStringList Arguments(QStringList extra = {})
    {
        WriteSettings(*profile, settings);
        QStringList a{"--headless", "--profile", QString::fromStdString(profileFile.string())};
        return a + extra;
    }
    static QStringList Environment() { return {"QUINTAR_LISTEN_ADDRESS=127.0.0.1"}; }
    std::string ReadyLine() const
    {
        return "- START - Successful COM" + std::to_string(settings.comPort) + ", Socket:" +
               std::to_string(settings.tcpPort) + ".\n";
    }
    // `host` started and serving: its readiness line has come.
    ::testing::AssertionResult Serving(Program& host) const
    {
        if (!host.Start())
            return ::testing::AssertionFailure() << "the host did not start";
        if (!host.WaitForOutput(ReadyLine(), 15000))
            return ::testing::AssertionFailure() << "no readiness line: " << host.Err();
        return ::testing::AssertionSuccess();
    }
    // `host` stopped by SIGTERM: it ended in time, with status 0.
    static ::testing::AssertionResult StoppedBySigterm(Program& host)
    {
        host.Signal(SIGTERM);
        if (!host.WaitForExit(15000))
            return ::testing::AssertionFailure() << "the host did not end";
        if (host.ExitStatus() != 0)
            return ::testing::AssertionFailure() << "exit status " << host.ExitStatus() << ": " << host.Err();
        return ::testing::AssertionSuccess();
    }
};

}  // namespace stationtest
