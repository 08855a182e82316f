// A window's fixed design as rows (object name, kind, rectangle, text, font style) and the one
// builder that makes the controls from them, in tab order, then gives a dialog the font at which
// every fixed text fits. The windows find their controls, and tests and style sheets find them, by
// the rows' object names.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace quintar::window {

enum class Kind {
    Frame,       // GroupFrame with its title
    Static,      // CStaticEx: the panel's labels and values
    Indicator,   // CStaticEx with its text centred
    Label,       // QLabel
    Button,      // QPushButton showing its text; never made the default by taking the focus
    LampButton,  // QPushButton showing a lamp; its text is its tool tip and accessible name
    Check,       // QCheckBox
    List,        // QComboBox, a drop-down list
    Edit,        // QLineEdit
    TextBox,     // QPlainTextEdit
    Table,       // QTreeView, a list of rows with columns
    Own,         // made by the window's own maker
};

enum class Style {
    Fitted,  // fixed text: the window's font is the largest at which it fits its box
    Bold,    // as Fitted, in bold
    Window,  // the window's font, whatever the text (values the program or the operator sets)
    Gui,     // the system's general font at the window's size: texts the operator types or names
};

struct ControlRow {
    const char* name;
    Kind kind;
    QRect rect;  // x, y, width, height in the window's (or panel's) pixels
    const char* text = "";
    Style style = Style::Fitted;
};

// The window sizes of the design (390 x 214 for the panel) are whole windows with caption, menu and
// borders; taken as client sizes they would leave an empty strip. A window is instead its controls
// with the margin left of the leftmost one repeated right of the rightmost and below the lowest
// (the panel's top frame has it too, to the frame's line through the middle of its title).
template <std::size_t N>
constexpr QSize EvenMarginSize(const ControlRow (&rows)[N])
{
    int left = rows[0].rect.x(), right = 0, bottom = 0;
    for (const ControlRow& c : rows) {
        left = c.rect.x() < left ? c.rect.x() : left;
        right = c.rect.x() + c.rect.width() > right ? c.rect.x() + c.rect.width() : right;
        bottom = c.rect.y() + c.rect.height() > bottom ? c.rect.y() + c.rect.height() : bottom;
    }
    return QSize(right + left, bottom + left);
}

template <std::size_t N>
constexpr const ControlRow* FindRow(const ControlRow (&rows)[N], std::string_view name)
{
    for (const ControlRow& c : rows)
        if (name == c.name)
            return &c;
    return nullptr;
}

template <std::size_t N>
constexpr bool NamesUnique(const ControlRow (&rows)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = i + 1; j < N; ++j)
            if (std::string_view(rows[i].name) == rows[j].name)
                return false;
    return true;
}

// A window's controls as built from its rows.
class Controls {
public:
    // The control of `name`; the name must be one of the rows'.
    template <class T = QWidget>
    T* Get(std::string_view name) const
    {
        return qobject_cast<T*>(Widget(name));
    }
    QWidget* Widget(std::string_view name) const;
    std::vector<QWidget*> InStyle(Style style) const;

    void Add(const ControlRow& row, QWidget* widget) { built_.emplace_back(&row, widget); }

private:
    std::vector<std::pair<const ControlRow*, QWidget*>> built_;
};

// Makes a control of kind Own.
using OwnMaker = std::function<QWidget*(const ControlRow& row, QWidget* parent)>;

// Makes the rows' controls on `parent`, in the rows' order (which is the tab order), each with its
// object name, rectangle and text.
Controls BuildControls(QWidget* parent, std::span<const ControlRow> rows, const OwnMaker& makeOwn = {});

// Gives `dialog` the font at which the text of every Fitted control fits its box (the Fitted frames
// take it for their titles too) and the Gui controls the general font at its size.
void FitFonts(QWidget& dialog, const Controls& controls);

}  // namespace quintar::window
