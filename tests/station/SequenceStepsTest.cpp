// Start and stop as steps on the event loop: the controller's thread stays free during the pauses
// and the library's blocking calls, commands are refused while a sequence runs, a stop or close
// asked for during a start is carried out when the start ends, and other event types are routed.
#include <QTimer>

#include "RadioState.h"
#include "StationFixture.h"

namespace stationtest {
namespace {

const std::string kFirstPreambleWrite = ";;";

TEST_F(StationTest, eventLoopRunsDuringTheStartsPause)
{
    StartRadio();
    MakeController();
    // A timer ticking on the controller's thread sees the radio holding the first wake-up write
    // alone only if the thread is free during the 300 ms pause before the second. Watching for
    // that moment, rather than firing once at a set time, holds on a slow or loaded machine.
    bool tickedDuringPause = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { tickedDuringPause |= radio->Received() == kFirstPreambleWrite; });
    ticker.start(10);
    controller->Start();
    EXPECT_TRUE(controller->Busy());
    EXPECT_TRUE(PumpUntil([&] { return controller->Started(); }, 15000));
    ticker.stop();
    EXPECT_TRUE(tickedDuringPause) << "the pause must not hold the controller's thread";
}

TEST_F(StationTest, eventLoopRunsWhileTheLibraryClosesTheLine)
{
    StartRadio();
    MakeController();
    StartAndSettle();
    bool lineOpenWhenTimerFired = false, fired = false;
    // The server's and the line's close take over 200 ms; the timer is due well within them.
    QTimer::singleShot(20, [&] {
        fired = true;
        lineOpenWhenTimerFired = brenlow::State().comPortOpen.load() != 0;
    });
    controller->Stop();
    EXPECT_TRUE(controller->Busy());
    ASSERT_TRUE(PumpUntil([&] { return !controller->Busy(); }, 15000));
    EXPECT_TRUE(fired);
    EXPECT_TRUE(lineOpenWhenTimerFired) << "the close must run beside the controller's thread, not on it";
    EXPECT_EQ(Count(Log(), LogEntry("- END - End VEXA.")), 1u);
}

TEST_F(StationTest, commandsDuringAStartAreRefusedButAStopWaitsForItsEnd)
{
    StartRadio();
    MakeController();
    controller->Start();
    ASSERT_TRUE(controller->Busy());
    controller->Start();        // refused
    controller->PowerSwitch();  // refused
    controller->Control();      // refused
    controller->Stop();         // remembered
    ASSERT_TRUE(PumpUntil([&] { return !stops.empty() && !controller->Busy(); }, 15000));
    EXPECT_EQ(stops, std::vector<StopCause>{StopCause::Command});
    EXPECT_FALSE(controller->Running());
    const std::string log = Log();
    EXPECT_EQ(Count(log, "- START - Successful"), 1u);
    EXPECT_EQ(Count(log, LogEntry("- END - End VEXA.")), 1u);
    EXPECT_LT(log.find("- START - Successful"), log.find("- END - End VEXA."));
    EXPECT_EQ(Count(radio->Received(), ";;"), 1u) << "a second start ran";
    EXPECT_EQ(radio->Received().find("PS1;"), std::string::npos) << "a power switch ran";
}

TEST_F(StationTest, closeAskedForDuringAStartEndsInACleanStopThenCloseReady)
{
    StartRadio();
    MakeController();
    bool closeReady = false;
    bool stoppedBeforeCloseReady = false;
    QObject::connect(controller.get(), &StationController::CloseReady, [&] {
        closeReady = true;
        stoppedBeforeCloseReady = !controller->Running() && !stops.empty();
    });
    controller->Start();
    controller->RequestClose();
    EXPECT_FALSE(closeReady);
    ASSERT_TRUE(PumpUntil([&] { return closeReady; }, 15000));
    EXPECT_TRUE(stoppedBeforeCloseReady);
    EXPECT_EQ(stops, std::vector<StopCause>{StopCause::Teardown});
    EXPECT_EQ(Count(Log(), LogEntry("- END - End VEXA.")), 1u);
}

TEST_F(StationTest, closeWhileStoppedIsReadyAtOnceWithoutALogLine)
{
    StartRadio();
    MakeController();
    bool closeReady = false;
    QObject::connect(controller.get(), &StationController::CloseReady, [&] { closeReady = true; });
    controller->RequestClose();
    ASSERT_TRUE(PumpUntil([&] { return closeReady; }, 5000));
    EXPECT_EQ(Log(), "");
    EXPECT_TRUE(stops.empty());
}

TEST_F(StationTest, otherEventTypesReachTheHandlerRoutedToThem)
{
    StartRadio();
    MakeController();
    const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    int handled = 0;
    controller->RouteEvent(type, [&](QEvent* e) {
        EXPECT_EQ(e->type(), type);
        ++handled;
    });
    QCoreApplication::postEvent(controller.get(), new QEvent(type));
    QCoreApplication::postEvent(controller.get(), new QEvent(type));
    EXPECT_TRUE(PumpUntil([&] { return handled == 2; }, 5000));
}

}  // namespace
}  // namespace stationtest
