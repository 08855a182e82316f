// The main window's panel as data: its controls with their object names, kinds, rectangles, texts
// and font styles (in tab order), the widest texts its values take, and its size. Tests and style
// sheets find the controls by these names. The main menu's rows are CHostDlg's.
#pragma once

#include <QSize>

#include "ControlTable.h"

namespace quintar::window {

namespace names {
inline constexpr char kRadioStatus[] = "radioStatusFrame";
inline constexpr char kPowerSwitch[] = "powerSwitchButton";
inline constexpr char kControl[] = "controlButton";
inline constexpr char kModelName[] = "modelName";
inline constexpr char kOnAir[] = "onAir";
inline constexpr char kUserId[] = "userId";
inline constexpr char kAddress[] = "clientAddress";
inline constexpr char kDescription[] = "description";
inline constexpr char kSessionTime[] = "sessionTime";
}  // namespace names

// The client address keeps the column of the model name and the row of its label. Buttons show
// only their lamps; their texts are their names for tool tips and screen readers.
inline constexpr ControlRow kPanelControls[] = {
    {names::kRadioStatus, Kind::Frame, {11, 4, 363, 56}, "Radio Status"},
    {names::kPowerSwitch, Kind::LampButton, {23, 23, 81, 25}, "Power Switch", Style::Window},
    {names::kControl, Kind::LampButton, {113, 23, 50, 25}, "CONTROL", Style::Window},
    {"modelLabel", Kind::Static, {210, 19, 56, 16}, "Model"},
    {names::kModelName, Kind::Static, {269, 19, 95, 16}},
    {names::kOnAir, Kind::Indicator, {269, 35, 45, 16}, "ONAIR", Style::Bold},
    {"connectionStatusFrame", Kind::Frame, {11, 60, 363, 98}, "Connection Status"},
    {"userNameLabel", Kind::Static, {26, 79, 56, 16}, "User Name"},
    {names::kUserId, Kind::Static, {86, 79, 95, 16}},
    {"addressLabel", Kind::Static, {209, 79, 56, 16}, "IP Address"},
    {names::kAddress, Kind::Static, {269, 79, 95, 16}, "255.255.255.255"},
    {names::kDescription, Kind::TextBox, {86, 96, 279, 39}, "", Style::Window},
    {"sessionTimeLabel", Kind::Static, {26, 137, 69, 16}, "Session Time"},
    {names::kSessionTime, Kind::Static, {101, 137, 93, 16}, "0:00:00 / 0:00:00"},
};

// The longest texts each value field must show whole, besides its initial text; the panel font
// is chosen so that they fit.
struct WidestText {
    const char* name;
    const char* text;
    bool bold;
};
inline constexpr WidestText kWidestTexts[] = {
    {names::kModelName, "Dunmore", false},
    {names::kModelName, "Unknown", false},
    {names::kOnAir, "ONAIR", true},
    {names::kSessionTime, "Unlimited", false},
    {names::kSessionTime, "2:00:00 / 2:00:00", false},
};

// The panel below the menu bar.
inline constexpr QSize kPanelSize = EvenMarginSize(kPanelControls);

static_assert(NamesUnique(kPanelControls), "one row per control");
static_assert(kPanelSize.width() <= 390 && kPanelSize.height() <= 214, "no larger than the design's whole window");

}  // namespace quintar::window
