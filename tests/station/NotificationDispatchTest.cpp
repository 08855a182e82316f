// The panel's reaction to each library notification, posted through the host window the
// controller registered with the library, with no station running.
#include "HostMessages.h"
#include "RadioState.h"
#include "StationFixture.h"

namespace stationtest {
namespace {

struct Note {
    unsigned long code;
    long value;
};

struct PanelExpectation {
    std::string modelName;
    unsigned modelId;
    bool powerLamp;
    bool onAir;
};

struct DispatchCase {
    const char* name;
    std::vector<Note> notes;
    PanelExpectation panel;
};

const DispatchCase kDispatchCases[] = {
    {"identity19NamesDunmore", {{brenlow::kIdentityAnswer, 19}}, {"Dunmore", 19, false, false}},
    {"identity20NamesCorrin", {{brenlow::kIdentityAnswer, 20}}, {"Corrin", 20, false, false}},
    {"otherIdentityIsUnknown", {{brenlow::kIdentityAnswer, 7}}, {"Unknown", 7, false, false}},
    {"transmitAnswerLightsOnAir", {{brenlow::kTransmitAnswer, 0}}, {"", 0, false, true}},
    {"receiveAnswerDarkensOnAir", {{brenlow::kTransmitAnswer, 0}, {brenlow::kReceiveAnswer, 0}}, {"", 0, false, false}},
    {"powerOnLightsLamp", {{brenlow::kPowerStateAnswer, 1}}, {"", 0, true, false}},
    {"powerOffDarkensLampAndOnAir", {{brenlow::kPowerStateAnswer, 1}, {brenlow::kTransmitAnswer, 0}, {brenlow::kPowerStateAnswer, 0}}, {"", 0, false, false}},
    {"powerOffWhileOffLeavesOnAir", {{brenlow::kTransmitAnswer, 0}, {brenlow::kPowerStateAnswer, 0}}, {"", 0, false, true}},
    {"powerValue5ChangesNothing", {{brenlow::kPowerStateAnswer, 5}}, {"", 0, false, false}},
    {"powerValue5AfterOnKeepsLamp", {{brenlow::kPowerStateAnswer, 1}, {brenlow::kPowerStateAnswer, 5}}, {"", 0, true, false}},
    {"frequencyAnswerChangesNothing", {{brenlow::kFrequencyAAnswer, 0}, {4134, 2}}, {"", 0, false, false}},
    {"filterNotificationChangesNothing", {{brenlow::kComputerControlNotice, 0}}, {"", 0, false, false}},
};

class NotificationDispatch : public StationTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(NotificationDispatch, updatesThePanelAsTheCodeSays)
{
    MakeController();
    brenlow::HostWindow* window = brenlow::State().hostWindow.load();
    ASSERT_NE(window, nullptr);
    for (const Note& n : GetParam().notes)
        window->Post(brenlow::kNotifyMessage, n.code, n.value);
    PumpFor(50);

    const PanelExpectation& e = GetParam().panel;
    EXPECT_EQ(controller->ModelName().toStdString(), e.modelName);
    EXPECT_EQ(controller->ModelId(), e.modelId);
    EXPECT_EQ(controller->PowerLamp(), e.powerLamp);
    EXPECT_EQ(controller->RadioPowerOn(), e.powerLamp);
    EXPECT_EQ(controller->OnAir(), e.onAir);
    EXPECT_EQ(controller->Transmitting(), e.onAir);
}

INSTANTIATE_TEST_SUITE_P(Codes, NotificationDispatch, ::testing::ValuesIn(kDispatchCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StationTest, otherWindowMessagesAreIgnored)
{
    MakeController();
    brenlow::State().hostWindow.load()->Post(brenlow::kNotifyMessage + 1, brenlow::kIdentityAnswer, 20);
    PumpFor(50);
    EXPECT_EQ(controller->ModelName(), "");
}

TEST_F(StationTest, notificationsPostedFromOtherThreadsArriveInOrder)
{
    MakeController();
    std::vector<bool> onAir;
    QObject scope;  // ends the connection before onAir goes
    QObject::connect(controller.get(), &StationController::OnAirChanged, &scope, [&](bool on) { onAir.push_back(on); });
    std::thread poster([] {
        brenlow::HostWindow* window = brenlow::State().hostWindow.load();
        for (int i = 0; i < 100; ++i)
            window->Post(brenlow::kNotifyMessage, i % 2 == 0 ? brenlow::kTransmitAnswer : brenlow::kReceiveAnswer, 0);
    });
    poster.join();
    ASSERT_TRUE(PumpUntil([&] { return onAir.size() == 100; }, 5000));
    for (std::size_t i = 0; i < onAir.size(); ++i)
        ASSERT_EQ(onAir[i], i % 2 == 0) << i;
}

TEST_F(StationTest, connectionEventWithoutClientShowsNothing)
{
    MakeController();
    std::vector<int> events;
    QObject scope;
    QObject::connect(controller.get(), &StationController::ConnectionEvent, &scope, [&](int v) { events.push_back(v); });
    for (long v : {1L, 3L, 9L})
        brenlow::State().hostWindow.load()->Post(brenlow::kNotifyMessage, brenlow::kConnectionEvent, v);
    PumpFor(50);
    EXPECT_EQ(events, (std::vector<int>{1, 3, 9}));
    EXPECT_EQ(controller->ClientAddress(), "");
    EXPECT_EQ(controller->UserId(), "");
    EXPECT_EQ(controller->SessionTime(), "");  // no client is connected
}

TEST_F(StationTest, controllerRegistersItselfAndUnregistersAtTeardown)
{
    MakeController();
    EXPECT_NE(brenlow::State().hostWindow.load(), nullptr);
    EXPECT_EQ(brenlow::State().profile.load(), profile.get());
    controller.reset();
    EXPECT_EQ(brenlow::State().hostWindow.load(), nullptr);
    EXPECT_EQ(brenlow::State().profile.load(), nullptr);
}

TEST_F(StationTest, loadMessageOptionIsHandedToTheLibraryForTheControllersLifetime)
{
    quintar::HostOptions options;
    options.loadMessageEnabled = true;
    MakeController(options);
    EXPECT_EQ(brenlow::State().loadMessageEnable.load(), 1u);
    controller.reset();
    EXPECT_EQ(brenlow::State().loadMessageEnable.load(), 0u);
}

}  // namespace
}  // namespace stationtest
