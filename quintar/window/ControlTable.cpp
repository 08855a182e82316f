// The controls of a window made from its rows, and the dialogs' fitted font.
#include "ControlTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

#include <algorithm>

#include "StyledControls.h"
#include "WindowParts.h"

namespace quintar::window {

QWidget* Controls::Widget(std::string_view name) const
{
    for (const auto& [row, widget] : built_)
        if (name == row->name)
            return widget;
    qFatal("no control %.*s", static_cast<int>(name.size()), name.data());
}

std::vector<QWidget*> Controls::InStyle(Style style) const
{
    std::vector<QWidget*> found;
    for (const auto& [row, widget] : built_)
        if (row->style == style)
            found.push_back(widget);
    return found;
}

namespace {

QWidget* Make(const ControlRow& row, QWidget* parent, const OwnMaker& makeOwn)
{
    const QString text = QString::fromLatin1(row.text);
    switch (row.kind) {
    case Kind::Frame:
        return new GroupFrame(text, parent);
    case Kind::Static:
        return new CStaticEx(text, parent);
    case Kind::Indicator: {
        auto* s = new CStaticEx(text, parent);
        s->setAlignment(Qt::AlignCenter);
        return s;
    }
    case Kind::Label:
        return new QLabel(text, parent);
    case Kind::Button: {
        auto* b = new QPushButton(text, parent);
        b->setAutoDefault(false);
        return b;
    }
    case Kind::LampButton: {
        auto* b = new QPushButton(parent);
        b->setAutoDefault(false);  // Enter does nothing in the panel
        b->setToolTip(text);
        b->setAccessibleName(text);
        return b;
    }
    case Kind::Check:
        return new QCheckBox(text, parent);
    case Kind::List:
        return new QComboBox(parent);
    case Kind::Edit:
        return new QLineEdit(parent);
    case Kind::TextBox:
        return new QPlainTextEdit(parent);
    case Kind::Table:
        return new QTreeView(parent);
    case Kind::Own:
        return makeOwn(row, parent);
    }
    return nullptr;
}

}  // namespace

Controls BuildControls(QWidget* parent, std::span<const ControlRow> rows, const OwnMaker& makeOwn)
{
    Controls controls;
    for (const ControlRow& row : rows) {
        QWidget* w = Make(row, parent, makeOwn);
        w->setObjectName(QLatin1String(row.name));
        w->setGeometry(row.rect);
        if (row.style == Style::Bold)
            if (auto* s = qobject_cast<CStaticEx*>(w))
                s->SetTextBold(1);
        controls.Add(row, w);
    }
    return controls;
}

void FitFonts(QWidget& dialog, const Controls& controls)
{
    const std::vector<QWidget*> fitted = controls.InStyle(Style::Fitted);
    dialog.setFont(FittingFont([&](const QFont& font) {
        return std::all_of(fitted.begin(), fitted.end(), [&](QWidget* w) { return TextFits(*w, font); });
    }));
    for (QWidget* w : fitted)
        if (auto* frame = qobject_cast<GroupFrame*>(w))
            frame->AdoptFont(dialog.font());
    const QFont guiFont = GuiFont(dialog.font());
    for (QWidget* w : controls.InStyle(Style::Gui))
        w->setFont(guiFont);
}

}  // namespace quintar::window
