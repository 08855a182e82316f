// The program's own pictures, embedded as Qt resources: the application icon, the two lamp image
// lists, the user list's marks and the About banner (each PNG also in a 2x size for high-DPI screens).
#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>

namespace quintar::window {

inline constexpr QSize kControlLampSize{44, 21};
inline constexpr QSize kPowerLampSize{77, 23};
inline constexpr QSize kBannerSize{594, 225};

QIcon ApplicationIcon();
// Index 0 unlit, index 1 lit.
std::array<QIcon, 2> ControlLampImages();  // "CON" beside a dark or a yellow lamp
std::array<QIcon, 2> PowerLampImages();    // "POWER" beside a dark or a green lamp

// The user list's marks, by the disabled flag: index 0 blank, index 1 a red disc with a white cross.
inline constexpr QSize kUserMarkSize{16, 16};
std::array<QIcon, 2> UserMarks();

// The banner drawing with `lines` (the version, the licence, where the source is) drawn in under
// the program's name, dark on white, at `devicePixelRatio`.
QImage BannerImage(qreal devicePixelRatio, const QStringList& lines);

}  // namespace quintar::window
