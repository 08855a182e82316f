// The embedded pictures. QIcon picks the "@2x" files by itself where the screen needs them.
#include "Artwork.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace quintar::window {

namespace {

std::array<QIcon, 2> LampPair(const char* name)
{
    return {QIcon(QStringLiteral(":/quintar/lamp-%1-off.png").arg(QLatin1String(name))),
            QIcon(QStringLiteral(":/quintar/lamp-%1-on.png").arg(QLatin1String(name)))};
}

}  // namespace

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/quintar/quintar-%1.png").arg(size), QSize(size, size));
    return icon;
}

std::array<QIcon, 2> ControlLampImages()
{
    return LampPair("con");
}

std::array<QIcon, 2> PowerLampImages()
{
    return LampPair("power");
}

std::array<QIcon, 2> UserMarks()
{
    QPixmap blank(kUserMarkSize);
    blank.fill(Qt::transparent);
    return {QIcon(blank), QIcon(QStringLiteral(":/quintar/user-disabled.png"))};
}

QImage BannerImage(qreal devicePixelRatio, const QStringList& lines)
{
    const bool large = devicePixelRatio > 1.0;
    QImage banner(large ? QStringLiteral(":/quintar/banner@2x.png") : QStringLiteral(":/quintar/banner.png"));
    banner = banner.convertToFormat(QImage::Format_RGB32);
    banner.setDevicePixelRatio(large ? 2.0 : 1.0);
    QPainter p(&banner);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(Qt::black);
    // Under "Radio Host Program", inside the panel the window puts behind the banner (to y 210).
    int baseline = 174;
    for (const QString& line : lines) {
        p.drawText(QPoint(209, baseline), line);
        baseline += 15;
    }
    return banner;
}

}  // namespace quintar::window
