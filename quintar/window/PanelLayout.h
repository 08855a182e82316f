// The main window's fixed design as data: the panel's controls with their ids, texts and pixel
// rectangles (in tab order), the main menu, and the panel's size.
//
// Object names: every panel control and menu item is named "id" and its resource id ("id1018" is
// the Power Switch button, "id32771" the menu item "ON (&N)"); the three menus are "menuControl",
// "menuRadio" and "menuHelp". Tests and style sheets find them by these names.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <cstddef>

namespace quintar::window {

// The designs' window sizes (390 x 214 for this one) are whole windows with caption, menu and
// borders; taken as client sizes they would leave an empty strip. A window is instead its
// controls with the margin left of the leftmost one repeated right of the rightmost and below the
// lowest (the panel's top frame has it too, to the frame's line through the middle of its title).
template <class Control, std::size_t N>
constexpr QSize EvenMarginSize(const Control (&controls)[N])
{
    int left = controls[0].rect.x(), right = 0, bottom = 0;
    for (const Control& c : controls) {
        left = c.rect.x() < left ? c.rect.x() : left;
        right = c.rect.x() + c.rect.width() > right ? c.rect.x() + c.rect.width() : right;
        bottom = c.rect.y() + c.rect.height() > bottom ? c.rect.y() + c.rect.height() : bottom;
    }
    return QSize(right + left, bottom + left);
}

inline QString ObjectNameFor(int id)
{
    return QStringLiteral("id%1").arg(id);
}

enum class PanelKind {
    Frame,        // group frame with its title
    Label,        // fixed text
    Value,        // text the station fills in
    OnAir,        // the transmit indicator: centred, bold
    Button,       // push button showing a lamp
    Description,  // multi-line, read-only
};

struct PanelControl {
    int id;
    PanelKind kind;
    const char* text;  // the initial text; buttons: their name (they show only the lamp)
    QRect rect;        // x, y, width, height in client pixels below the menu bar
};

namespace ids {
inline constexpr int kRadioStatus = 1014;
inline constexpr int kPowerSwitch = 1018;
inline constexpr int kControl = 1026;
inline constexpr int kModelLabel = 1015;
inline constexpr int kModelName = 1016;
inline constexpr int kOnAir = 1019;
inline constexpr int kConnectionStatus = 1028;
inline constexpr int kUserNameLabel = 1029;
inline constexpr int kUserId = 1030;
inline constexpr int kAddressLabel = 1031;
inline constexpr int kAddress = 1032;
inline constexpr int kDescription = 1048;
inline constexpr int kSessionTimeLabel = 1034;
inline constexpr int kSessionTime = 1036;

inline constexpr int kOn = 32771;
inline constexpr int kOff = 32772;
inline constexpr int kSetup = 32773;
inline constexpr int kPowerSwitchItem = 32774;
inline constexpr int kHelpTopics = 32775;
inline constexpr int kAbout = 32776;
}  // namespace ids

// The client address keeps the column of the model name and the row of its label.
inline constexpr PanelControl kPanelControls[] = {
    {ids::kRadioStatus, PanelKind::Frame, "Radio Status", {11, 4, 363, 56}},
    {ids::kPowerSwitch, PanelKind::Button, "Power Switch", {23, 23, 81, 25}},
    {ids::kControl, PanelKind::Button, "CONTROL", {113, 23, 50, 25}},
    {ids::kModelLabel, PanelKind::Label, "Model", {210, 19, 56, 16}},
    {ids::kModelName, PanelKind::Value, "", {269, 19, 95, 16}},
    {ids::kOnAir, PanelKind::OnAir, "ONAIR", {269, 35, 45, 16}},
    {ids::kConnectionStatus, PanelKind::Frame, "Connection Status", {11, 60, 363, 98}},
    {ids::kUserNameLabel, PanelKind::Label, "User Name", {26, 79, 56, 16}},
    {ids::kUserId, PanelKind::Value, "", {86, 79, 95, 16}},
    {ids::kAddressLabel, PanelKind::Label, "IP Address", {209, 79, 56, 16}},
    {ids::kAddress, PanelKind::Value, "255.255.255.255", {269, 79, 95, 16}},
    {ids::kDescription, PanelKind::Description, "", {86, 96, 279, 39}},
    {ids::kSessionTimeLabel, PanelKind::Label, "Session Time", {26, 137, 69, 16}},
    {ids::kSessionTime, PanelKind::Value, "0:00:00 / 0:00:00", {101, 137, 93, 16}},
};

inline constexpr const PanelControl* FindPanelControl(int id)
{
    for (const PanelControl& c : kPanelControls)
        if (c.id == id)
            return &c;
    return nullptr;
}

// The longest texts each value field must show whole, besides its initial text; the panel font
// is chosen so that they fit.
struct WidestText {
    int id;
    const char* text;
    bool bold;
};
inline constexpr WidestText kWidestTexts[] = {
    {ids::kModelName, "Dunmore", false},
    {ids::kModelName, "Unknown", false},
    {ids::kOnAir, "ONAIR", true},
    {ids::kSessionTime, "Unlimited", false},
    {ids::kSessionTime, "2:00:00 / 2:00:00", false},
};

enum class MenuId { Control, Radio, Help };

struct MenuEntry {
    MenuId menu;
    int id;            // 0: a separator
    const char* text;
    bool initiallyEnabled;
};

inline constexpr const char* MenuTitle(MenuId menu)
{
    return menu == MenuId::Control ? "Control (&C)" : menu == MenuId::Radio ? "Radio (&R)" : "Help (&H)";
}
inline constexpr const char* MenuObjectName(MenuId menu)
{
    return menu == MenuId::Control ? "menuControl" : menu == MenuId::Radio ? "menuRadio" : "menuHelp";
}

inline constexpr MenuEntry kMenuEntries[] = {
    {MenuId::Control, ids::kOn, "ON (&N)", true},
    {MenuId::Control, ids::kOff, "OFF (&F)", false},
    {MenuId::Control, 0, nullptr, true},
    {MenuId::Control, ids::kSetup, "Setup (&S)...", true},
    {MenuId::Radio, ids::kPowerSwitchItem, "Power Switch (&W)", true},
    {MenuId::Help, ids::kHelpTopics, "Help Topics (&H)", true},
    {MenuId::Help, 0, nullptr, true},
    {MenuId::Help, ids::kAbout, "About Quintar (&A)...", true},
};

// The panel below the menu bar.
inline constexpr QSize kPanelSize = EvenMarginSize(kPanelControls);

namespace detail {
constexpr bool IdsUnique()
{
    constexpr std::size_t n = sizeof kPanelControls / sizeof kPanelControls[0];
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (kPanelControls[i].id == kPanelControls[j].id)
                return false;
    return true;
}
}  // namespace detail
static_assert(detail::IdsUnique(), "one row per control id");
static_assert(kPanelSize.width() <= 390 && kPanelSize.height() <= 214, "no larger than the design's whole window");

}  // namespace quintar::window
