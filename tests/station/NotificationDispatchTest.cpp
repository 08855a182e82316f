// The panel's reaction to each library notification, posted through the host window the
// controller registered with the library, with no station running.
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
    {"identity19NamesDunmore", {{4125, 19}}, {"Dunmore", 19, false, false}},
    {"identity20NamesCorrin", {{4125, 20}}, {"Corrin", 20, false, false}},
    {"otherIdentityIsUnknown", {{4125, 7}}, {"Unknown", 7, false, false}},
    {"transmitAnswerLightsOnAir", {{4163, 0}}, {"", 0, false, true}},
    {"receiveAnswerDarkensOnAir", {{4163, 0}, {4162, 0}}, {"", 0, false, false}},
    {"powerOnLightsLamp", {{4152, 1}}, {"", 0, true, false}},
    {"powerOffDarkensLampAndOnAir", {{4152, 1}, {4163, 0}, {4152, 0}}, {"", 0, false, false}},
    {"powerOffWhileOffLeavesOnAir", {{4163, 0}, {4152, 0}}, {"", 0, false, true}},
    {"powerValue5ChangesNothing", {{4152, 5}}, {"", 0, false, false}},
    {"powerValue5AfterOnKeepsLamp", {{4152, 1}, {4152, 5}}, {"", 0, true, false}},
    {"frequencyAnswerChangesNothing", {{4116, 0}, {4134, 2}}, {"", 0, false, false}},
    {"filterNotificationChangesNothing", {{4174, 0}}, {"", 0, false, false}},
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
    brenlow::State().hostWindow.load()->Post(brenlow::kNotifyMessage + 1, 4125, 20);
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
            window->Post(brenlow::kNotifyMessage, i % 2 == 0 ? 4163 : 4162, 0);
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
        brenlow::State().hostWindow.load()->Post(brenlow::kNotifyMessage, 12288, v);
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
