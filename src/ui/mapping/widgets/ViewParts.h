#pragma once

#include "ui/shared/Theme.h"

#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QWidget>

class QBoxLayout;
class QHBoxLayout;
class QVBoxLayout;

// Small building blocks the mapping window's views share.
namespace velmor::mappingViews {

using Style = Theme::TextStyle;

// A label in a text style and colour.
QLabel* textLabel(const QString& text, Style style, const QColor& colour, bool bold = false, QWidget* parent = nullptr);
// The same for a name (text::displayName): one line, cut with "…" to the room it gets (NameLabel).
QLabel* nameLabel(const QString& shown, Style style, const QColor& colour, bool bold = false, QWidget* parent = nullptr);
void setTextColour(QWidget* widget, const QColor& colour);

// A section title of the context panels: caption, bold, gray.
QLabel* sectionTitle(const QString& text);

// A thin horizontal line between sections.
QWidget* divider();

// Layouts without margins.
QVBoxLayout* column(QWidget* owner, int spacing);
QHBoxLayout* row(QWidget* owner, int spacing);
QVBoxLayout* column(int spacing);
QHBoxLayout* row(int spacing);

// A filled circle.
class Dot : public QWidget {
public:
    explicit Dot(int diameter, QColor colour = Qt::gray, QWidget* parent = nullptr);
    void setColour(const QColor& colour);
    const QColor& colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
};

// A rounded rectangle behind its children: a fill and an outline.
class RoundedBox : public QWidget {
public:
    explicit RoundedBox(qreal radius, QWidget* parent = nullptr);
    void setLook(const QColor& fill, const QColor& border, qreal borderWidth);
    void setGradientFill(bool panelGradient) { panelGradient_ = panelGradient; update(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal radius_;
    QColor fill_;
    QColor border_;
    qreal borderWidth_ = 1;
    bool panelGradient_ = false;
};

// A text on a small rounded plate (a count or a button id).
class Badge : public QLabel {
public:
    Badge(qreal radius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal radius_;
};

// An on/off switch drawn as a pill with a knob.
class ToggleSwitch : public QAbstractButton {
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {30, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A borderless button showing one symbol (the banner's close button).
class SymbolButton : public QAbstractButton {
public:
    SymbolButton(QString symbol, QColor tint, int size, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {size_, size_}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    QColor tint_;
    int size_;
};

// Elides `text` to `width` in `font`, shrinking the font down to `minimumScale`
// of its size first.
QFont fittedFont(const QFont& font, const QString& text, qreal width, qreal minimumScale);

} // namespace velmor::mappingViews
