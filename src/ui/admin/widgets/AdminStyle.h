#pragma once

#include "ui/shared/Theme.h"

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPushButton>

#include <QLabel>

namespace velmor::admin {

// A plain-text label in one text style and colour.
QLabel* label(const QString& text, Theme::TextStyle style, const QColor& colour, bool bold = false,
              QWidget* parent = nullptr);
// One segment of a segmented control: checkable, the checked one tinted.
QPushButton* segment(const QString& text, const QString& objectName, QWidget* parent);

// The toolbar's compact button: caption text and a symbol in white on a gradient
// of `tint`, radius 10, dimmed and shrunk a little while pressed.
class CompactToolbarButton : public QPushButton {
public:
    CompactToolbarButton(const QString& symbol, const QString& text, QColor tint, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    QColor tint_;
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
