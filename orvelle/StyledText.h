// What every styled control shares: 32-bit colour values, the font description a control asks for,
// the position record, and StyledText, the setters of font and colours over any Qt widget.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

#include <optional>

namespace orvelle {

// 32-bit colour value: red in the low byte, then green, then blue.
using ColorRef = unsigned long;
constexpr ColorRef Rgb(unsigned red, unsigned green, unsigned blue)
{
    return (red & 0xFFu) | (green & 0xFFu) << 8 | (blue & 0xFFu) << 16;
}
QColor ToQColor(ColorRef color);
ColorRef ToColorRef(const QColor& color);

// Where the control sat, in the coordinates of a reference window, when it was first drawn. The
// controls do not read it; it is there for their owner.
struct PositionRecord {
    int top = 0;
    int left = 0;
    int height = 0;
    int width = 0;
    bool captured = false;
};
// Fills `record` once, from `widget`'s rectangle mapped into `reference` (an ancestor or itself).
void CapturePosition(PositionRecord& record, const QWidget& widget, const QWidget* reference);

// The font a control asks for. A control builds its font from it either at once or at its next
// paint, so the description is kept apart from the font in use.
class FontDescription {
public:
    explicit FontDescription(const QFont& from) : font_(from) {}
    // Cell height in pixels (ascent plus descent); 0 keeps the size of the font copied at start.
    void SetHeight(unsigned height) { height_ = height; }
    void SetWeight(int weight) { font_.setWeight(QFont::Weight(weight)); }
    // The flags take the low byte of the argument, as the setters always did.
    void SetItalic(int flag) { font_.setItalic((flag & 0xFF) != 0); }
    void SetUnderline(int flag) { font_.setUnderline((flag & 0xFF) != 0); }
    void SetStrikeOut(int flag) { font_.setStrikeOut((flag & 0xFF) != 0); }
    void SetAntialiased(bool on) { font_.setStyleStrategy(on ? QFont::PreferDefault : QFont::NoAntialias); }
    // Keeps at most kFaceNameLength characters; a null name changes nothing.
    void SetFaceName(const char* name);
    QFont Build() const;

    static constexpr int kFaceNameLength = 31;

private:
    QFont font_;
    unsigned height_ = 0;
};

// The font of the window the control will live in: the application's main window is the
// control's top-level window; a control made before it has one takes the application font.
QFont MainWindowFont(const QWidget* parent);

enum class BoldWhen { ExactlyOne, NonZero };
enum class FontTakesEffect { AtOnce, AtNextPaint };

struct StyledTraits {
    BoldWhen bold;
    FontTakesEffect fontTakesEffect;
    QPalette::ColorRole textRole;        // the role the widget draws its text with
    QPalette::ColorRole backgroundRole;  // the role it fills its background with
    // Statics and frames show their parent's background until given a colour of their own, as
    // they blended with the dialog's button-face background before.
    bool transparentUntilColoured;
};

// Font and colour setters over the Qt widget `Widget`. Colours not set follow the widget's palette
// (the desktop theme, or a parent's colours as Qt passes them on) until the owner chooses its own;
// the font is the control's own from the start. Every setter redraws the control and returns 1.
template <class Widget>
class StyledText : public Widget {
public:
    int SetTextSize(unsigned size)
    {
        description_.SetHeight(size);
        return FontChanged();
    }
    int SetTextBold(int bold)
    {
        const bool heavy = traits_.bold == BoldWhen::ExactlyOne ? bold == 1 : bold != 0;
        description_.SetWeight(heavy ? 700 : 400);
        return FontChanged();
    }
    int SetTextItalic(int italic)
    {
        description_.SetItalic(italic);
        return FontChanged();
    }
    int SetTextUnderLine(int underline)
    {
        description_.SetUnderline(underline);
        return FontChanged();
    }
    int SetStrikeOut(int strikeOut)
    {
        description_.SetStrikeOut(strikeOut);
        return FontChanged();
    }
    int SetCharType(const char* faceName)
    {
        description_.SetFaceName(faceName);
        return FontChanged();
    }
    int SetForeColor(ColorRef color)
    {
        foreColor_ = ToQColor(color);
        ApplyColors();
        return Redraw();
    }
    int SetBackColor(ColorRef color)
    {
        backBrush_ = QBrush(ToQColor(color));
        if (traits_.transparentUntilColoured)
            this->setAutoFillBackground(true);
        ApplyColors();
        return Redraw();
    }
    QColor ForeColor() const { return foreColor_.value_or(this->palette().color(traits_.textRole)); }
    QBrush BackBrush() const { return backBrush_.value_or(this->palette().brush(traits_.backgroundRole)); }

protected:
    StyledText(QWidget* parent, const StyledTraits& traits)
        : Widget(parent), traits_(traits), description_(MainWindowFont(parent))
    {
        this->setBackgroundRole(traits.backgroundRole);
        this->setForegroundRole(traits.textRole);  // else Qt derives it from the background role
        this->setFont(description_.Build());
    }

    // The colour request, at the start of every paint: a font changed since the last paint is
    // built now, once, however many setters ran in between.
    void CtlColor()
    {
        if (!fontDirty_)
            return;
        fontDirty_ = false;
        this->setFont(description_.Build());
    }
    void RebuildFontNow() { this->setFont(description_.Build()); }
    int Redraw()
    {
        this->update();
        return 1;
    }

    const StyledTraits traits_;
    FontDescription description_;

private:
    int FontChanged()
    {
        if (traits_.fontTakesEffect == FontTakesEffect::AtOnce)
            RebuildFontNow();
        else
            fontDirty_ = true;
        return Redraw();
    }
    void ApplyColors()
    {
        QPalette palette = this->palette();
        if (foreColor_) {
            // The disabled group keeps the system's greyed text.
            palette.setColor(QPalette::Active, traits_.textRole, *foreColor_);
            palette.setColor(QPalette::Inactive, traits_.textRole, *foreColor_);
        }
        if (backBrush_)
            palette.setBrush(traits_.backgroundRole, *backBrush_);
        this->setPalette(palette);
    }

    bool fontDirty_ = true;
    std::optional<QColor> foreColor_;
    std::optional<QBrush> backBrush_;
};

}  // namespace orvelle
