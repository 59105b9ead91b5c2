#pragma once

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPushButton>
#include <QWidget>

class QVBoxLayout;

namespace velmor::admin {

// The window's colours, gradients and text sizes.
struct Look {
    static QLinearGradient backgroundGradient();
    static QLinearGradient panelGradient();
    static QColor surface();
    static QColor border();
    static QColor accentPurple();
    static QColor accentCyan();
    static QColor accentRed();
    static QColor green();
    static QColor orange();
    static QColor red();
    static QColor blue();
    static QColor gray();
    static QColor secondaryText();
    static QColor withOpacity(QColor colour, qreal opacity);

    enum class TextStyle { title2, headline, subheadline, body, caption, caption2 };
    static QFont font(TextStyle style, bool bold = false);
    static QFont monospaced(TextStyle style);
};

// A label in one text style and colour.
QWidget* label(const QString& text, Look::TextStyle style, const QColor& colour, bool bold = false,
               QWidget* parent = nullptr);

// Paints the window background behind its children.
class Backdrop : public QWidget {
public:
    explicit Backdrop(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The rounded panel card with its content inset by `padding`.
class Card : public QWidget {
public:
    explicit Card(int padding, QWidget* parent = nullptr);
    void setContent(QWidget* content);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* layout_;
};

// A button with a gradient of `tint`, a symbol and white text: the toolbar's
// compact buttons (caption font, radius 10) and the inspector's larger ones.
class TintedButton : public QPushButton {
public:
    enum class Size { compact, regular };
    TintedButton(const QString& symbol, const QString& text, QColor tint, Size size, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    QColor tint_;
    Size size_;
};

// A two-state switch drawn as a pill; a checkable button.
class Switch : public QAbstractButton {
public:
    explicit Switch(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {38, 22}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velmor::admin
