// The five styled text controls: push button, edit box, list box, static text and group frame,
// each a Qt widget whose font, text colour and background colour the owner can change at run time.
// The controls differ where their owners relied on it: which bold argument gives bold, whether a
// font change shows at once or at the next paint, and which of them record their position.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "StyledText.h"

// Images for LoadIconA are the application's Qt resources ":/icons/<id>" (any image format Qt reads).

class CButtonEx : public orvelle::StyledText<QPushButton> {
    Q_OBJECT
public:
    explicit CButtonEx(QWidget* parent = nullptr);
    CButtonEx(const QString& text, QWidget* parent = nullptr);
    void LoadIconA(unsigned id);
    // Relative to the top-level window, taken at the first paint.
    const orvelle::PositionRecord& Position() const { return position_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    orvelle::PositionRecord position_;
};

class CEditEx : public orvelle::StyledText<QLineEdit> {
    Q_OBJECT
public:
    explicit CEditEx(QWidget* parent = nullptr);
    // Relative to the parent widget, taken at the first paint.
    const orvelle::PositionRecord& Position() const { return position_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    orvelle::PositionRecord position_;
};

class CListBoxEx : public orvelle::StyledText<QListWidget> {
    Q_OBJECT
public:
    explicit CListBoxEx(QWidget* parent = nullptr);
};

class CStaticEx : public orvelle::StyledText<QLabel> {
    Q_OBJECT
public:
    explicit CStaticEx(QWidget* parent = nullptr);
    CStaticEx(const QString& text, QWidget* parent = nullptr);
    void LoadIconA(unsigned id);
    // Relative to the parent widget, taken at the first paint.
    const orvelle::PositionRecord& Position() const { return position_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    orvelle::PositionRecord position_;
};

class CStaticFrameEx : public orvelle::StyledText<QGroupBox> {
    Q_OBJECT
public:
    explicit CStaticFrameEx(QWidget* parent = nullptr);
    CStaticFrameEx(const QString& title, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
