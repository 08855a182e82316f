// The fixture of the controller tests: a real profile file, a real log folder, the simulated
// radio on a pseudo-terminal and the station controller, with what it reported recorded.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Brenlow.h"
#include "SettingsModel.h"
#include "RadioSim.h"
#include "SettingsProfile.h"
#include "StationController.h"
#include "StationTestSupport.h"
#include "TestSupport.h"

namespace stationtest {

using quintar::StationController;
using StartResult = StationController::StartResult;
using StopCause = StationController::StopCause;

class StationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CBrenlow::SetListenAddress("127.0.0.1");
        profileFile = dir.Path() / "Quintar.ini";
        logFolder = dir.Path() / "log";
        profile = std::make_unique<quintar::SettingsProfile>(QString::fromStdString(profileFile.string()));
        settings.tcpPort = static_cast<int>(FreeTcpPort());
        settings.logFolder = logFolder;
        settings.device = (dir.Path() / "no-such-tty").string();
    }

    void TearDown() override
    {
        controller.reset();
        radio.reset();
        CBrenlow::SetListenAddress("0.0.0.0");
        CBrenlow::SetComPortPath(static_cast<unsigned>(settings.comPort),
                                 ("/dev/ttyS" + std::to_string(settings.comPort - 1)).c_str());
    }

    radiosim::RadioSim& StartRadio(radiosim::Options options = {})
    {
        radio = std::make_unique<radiosim::RadioSim>(options);
        EXPECT_TRUE(radio->Start());
        settings.device = radio->SlavePath();
        return *radio;
    }

    // Writes the settings to the profile and creates the controller on it.
    StationController& MakeController(quintar::HostOptions options = {})
    {
        WriteSettings(*profile, settings);
        return MakeControllerKeepingProfile(options);
    }

    // Creates the controller on the profile as it is.
    StationController& MakeControllerKeepingProfile(quintar::HostOptions options = {})
    {
        controller = std::make_unique<StationController>(*profile, options);
        QObject::connect(controller.get(), &StationController::ErrorMessage,
                         [this](const QString& caption, const QString& text) { messages.emplace_back(caption, text); });
        QObject::connect(controller.get(), &StationController::LogWritten,
                         [this](const QString& line) { logLines.push_back(line.toStdString()); });
        QObject::connect(controller.get(), &StationController::Stopped,
                         [this](StopCause cause) { stops.push_back(cause); });
        return *controller;
    }

    // Starts and waits for the start's end; its result.
    StartResult StartAndWait()
    {
        std::optional<StartResult> result;
        const QMetaObject::Connection c = QObject::connect(controller.get(), &StationController::StartFinished,
                                                           [&](StartResult r) { result = r; });
        controller->Start();
        EXPECT_TRUE(PumpUntil([&] { return result.has_value(); }, 15000));
        QObject::disconnect(c);
        if (result && *result != StartResult::Started)  // shown with a failing test's output
            std::cout << "start ended " << static_cast<int>(*result) << ": "
                      << controller->FailureDetail().toStdString() << '\n';
        return result.value_or(StartResult::NotAllowed);
    }

    // Stops and waits until the stop has ended.
    void StopAndWait(StopCause cause = StopCause::Command)
    {
        controller->Stop(cause);
        EXPECT_TRUE(PumpUntil([&] { return !controller->Busy(); }, 15000));
    }

    // Starts, then waits until the radio's answers to the start's reads have been handled.
    void StartAndSettle()
    {
        ASSERT_EQ(StartAndWait(), StartResult::Started);
        ASSERT_TRUE(PumpUntil([&] { return radio->Received().find("AI2;") != std::string::npos; }, 5000));
        PumpFor(50);
    }

    std::string Log() const { return ReadLog(logFolder); }

    // Connects `client` to the station and logs it in.
    ::testing::AssertionResult LogIn(Client& client, const std::string& user = "op1",
                                        const std::string& password = "pw1") const
    {
        if (!client.Connect(static_cast<unsigned>(settings.tcpPort), 5000))
            return ::testing::AssertionFailure() << "no connection to port " << settings.tcpPort;
        if (!client.LogIn(user, password, 5000))
            return ::testing::AssertionFailure() << "no login as " << user << ": " << client.Received();
        return ::testing::AssertionSuccess();
    }

    // A line of the access log: time stamp, the text, CR LF.
    static std::string LogEntry(const std::string& text) { return " " + text + "\r\n"; }

    QtApp app;
    testsupport::TempDir dir;
    std::filesystem::path profileFile;
    std::filesystem::path logFolder;
    StationSettings settings;
    std::unique_ptr<quintar::SettingsProfile> profile;
    std::unique_ptr<radiosim::RadioSim> radio;
    std::unique_ptr<StationController> controller;
    std::vector<std::pair<QString, QString>> messages;
    std::vector<std::string> logLines;
    std::vector<StopCause> stops;
};

}  // namespace stationtest
