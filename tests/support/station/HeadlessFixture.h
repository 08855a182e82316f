// The fixture of the tests that run `quintar --headless` as a real process: its command line on the
// fixture's profile, its environment, and the readiness line it prints once the station serves.
#pragma once

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
};

}  // namespace stationtest
