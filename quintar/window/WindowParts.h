// Parts the main window and its dialogs share: the group frame drawn as the panel's frames are,
// the font chosen so that every text of a window fits its box, the F1 key and the dialogs' warnings.
#pragma once

#include <QFont>
#include <QString>

class QLineEdit;
class QMessageBox;

#include <functional>

#include "StyledControls.h"

namespace quintar::window {

// A group frame that is a CStaticEx, as the frames of the station's windows always were: the
// static's font and colours, drawn as a frame whose top line runs through the middle of its
// title, so that the title takes no room from the controls inside.
class GroupFrame final : public CStaticEx {
    Q_OBJECT
public:
    static constexpr int kTitleIndent = 8;
    static constexpr int kTitleGap = 2;

    GroupFrame(const QString& title, QWidget* parent);
    // The frame's title in `font` from now on (a styled control keeps the font it was made with).
    void AdoptFont(const QFont& font);
    // How far below the frame's top edge its line runs, with its title in `font`.
    static int LineOffset(const QFont& font);

protected:
    void paintEvent(QPaintEvent*) override;
};

// The narrowest installed face of the ones the windows prefer (the application's own face last),
// at the largest pixel size from 12 down to 8 at which `fits` holds; the smallest size of the
// application's face when it never does.
QFont FittingFont(const std::function<bool(const QFont&)>& fits);

// Whether the text of `control` (a label, frame, check box, push button or every item of a
// drop-down list) fits its present size when drawn in `font`.
bool TextFits(const QWidget& control, const QFont& font);

// The system's general font at the pixel size of `dialogFont`, for the edits and lists that show
// the operator's own texts: one size across a dialog.
QFont GuiFont(const QFont& dialogFont);

// F1 anywhere in `window` (or in a child that does not take F1 itself) calls `ask`, which asks for
// help at the window's context.
void AddHelpKey(QWidget* window, std::function<void()> ask);

// A warning box over `owner` with the exclamation icon, opened without blocking. When `focus` is
// given, it holds the focus while the box is up and again, with the dialog active, when the box
// has gone; `selectAll` selects its whole text each time.
QMessageBox* Warn(QWidget* owner, const char* objectName, const QString& caption, const QString& text,
                  QWidget* focus = nullptr, bool selectAll = false);

}  // namespace quintar::window
