#pragma once

#include "ui/shared/Theme.h"

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

// The look of the toolbar's buttons: a gradient of `tint` with the label in
// `textColor`, radius 10, dimmed and shrunk a little while pressed.
struct CompactToolbarButtonStyle {
    QColor tint;
    QColor textColor = Qt::white;
};

// A toolbar button drawn in a CompactToolbarButtonStyle: caption text and a symbol.
class CompactToolbarButton : public QPushButton {
public:
    CompactToolbarButton(const QString& symbol, const QString& text, CompactToolbarButtonStyle style,
                         QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    CompactToolbarButtonStyle style_;
};

} // namespace velmor::admin
