// The program's own pictures, embedded as Qt resources: the application icon, the two lamp image
// lists and the About banner (each PNG also in a 2x size for high-DPI screens).
#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

#include <array>

namespace quintar::window {

inline constexpr QSize kControlLampSize{44, 21};
inline constexpr QSize kPowerLampSize{77, 23};
inline constexpr QSize kBannerSize{594, 225};

QIcon ApplicationIcon();
// Index 0 unlit, index 1 lit.
std::array<QIcon, 2> ControlLampImages();  // "CON" beside a dark or a yellow lamp
std::array<QIcon, 2> PowerLampImages();    // "POWER" beside a dark or a green lamp

// The banner drawing with the version line drawn in, dark on white, at `devicePixelRatio`.
QImage BannerImage(qreal devicePixelRatio, const QString& version);

}  // namespace quintar::window
