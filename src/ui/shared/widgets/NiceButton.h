#pragma once

#include <QColor>
#include <QPushButton>

namespace velmor {

// The look of the windows' main buttons: a gradient of the tint and the label in
// the text colour.
struct NiceButtonStyle {
    QColor tint;
    QColor textColor = Qt::white;
};

// A push button drawn in a NiceButtonStyle: padded label (an optional symbol and
// the text), a rounded gradient that dims and shrinks a little while pressed; its
// size never changes. A disabled button is drawn faded. A menu set with setMenu()
// opens on click as with any QPushButton.
class NiceButton : public QPushButton {
public:
    static constexpr qreal cornerRadius = 12;
    static constexpr int verticalPadding = 9;
    static constexpr int horizontalPadding = 14;

    NiceButton(const QString& text, NiceButtonStyle style, QWidget* parent = nullptr);
    NiceButton(const QString& symbol, const QString& text, NiceButtonStyle style, QWidget* parent = nullptr);

    void setNiceStyle(NiceButtonStyle style);
    const NiceButtonStyle& niceStyle() const { return style_; }
    void setSymbol(const QString& symbol);
    const QString& symbol() const { return symbol_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int symbolSize() const;

    NiceButtonStyle style_;
    QString symbol_;
};

} // namespace velmor
