// CAboutDlg: the About window, a captionless banner (the program's name, "Radio Host Program", the
// version, the licence and where the source is, on a light orange panel) that a click, Enter or
// Escape closes. The main window also shows it, modeless, as the splash at start-up.
#pragma once

#include <QDialog>
#include <QImage>
#include <QStringList>

class CStaticEx;
class QPushButton;

namespace quintar {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    // The picture as composed: white, the orange panel, the banner combined by a bitwise AND.
    const QImage& Picture() const { return picture_; }

    // Composes the picture at the given device pixel ratio.
    static QImage ComposePicture(qreal devicePixelRatio);
    // The lines under the program's name: the version, the licence and where the source is.
    static QStringList Lines();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CStaticEx* pictureStatic_ = nullptr;
    QPushButton* ok_ = nullptr;
    QImage picture_;
};

}  // namespace quintar
