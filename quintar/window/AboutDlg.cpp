// The About window and splash.
#include "AboutDlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "Artwork.h"
#include "StyledControls.h"

#ifndef QUINTAR_VERSION
#define QUINTAR_VERSION "unknown"
#endif
#ifndef QUINTAR_SOURCE_URL
#define QUINTAR_SOURCE_URL ""
#endif

namespace quintar {

namespace {
constexpr QRect kPanel{15, 15, 564, 195};  // from (15, 15) to (579, 210)
constexpr QRgb kPanelColour = qRgb(255, 192, 128);
}  // namespace

QStringList CAboutDlg::Lines()
{
    const QString source = QStringLiteral(QUINTAR_SOURCE_URL);
    return {QStringLiteral("Version %1").arg(QStringLiteral(QUINTAR_VERSION)),
            QStringLiteral("Licence: GPL-3.0-or-later (no warranty)"),
            source.isEmpty() ? QStringLiteral("Source: from the distributor of this copy")
                             : QStringLiteral("Source: %1").arg(source)};
}

QImage CAboutDlg::ComposePicture(qreal devicePixelRatio)
{
    const QSize size = window::kBannerSize * devicePixelRatio;
    QImage picture(size, QImage::Format_RGB32);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.fillRect(kPanel, QColor(kPanelColour));
    // The banner's white takes the colour beneath it; its dark drawing stays dark.
    p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    p.drawImage(QRect(QPoint(0, 0), window::kBannerSize),
                window::BannerImage(devicePixelRatio, Lines()));
    return picture;
}

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("CAboutDlg"));
    setWindowTitle(QStringLiteral("About Quintar"));
    pictureStatic_ = new CStaticEx(this);
    pictureStatic_->setObjectName(QStringLiteral("picture"));
    pictureStatic_->setGeometry(QRect(QPoint(0, 0), window::kBannerSize));
    picture_ = ComposePicture(devicePixelRatioF());
    pictureStatic_->setPixmap(QPixmap::fromImage(picture_));
    // What the picture says, for screen readers and for copying the address.
    pictureStatic_->setAccessibleName(QStringLiteral("Quintar, Radio Host Program"));
    pictureStatic_->setAccessibleDescription(Lines().join(QLatin1Char('\n')));
    pictureStatic_->setToolTip(Lines().join(QLatin1Char('\n')));
    // Present for Enter, never shown.
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    ok_->hide();
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(window::kBannerSize);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void CAboutDlg::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        accept();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

void CAboutDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

}  // namespace quintar
