#pragma once

#include <QAbstractButton>

class QPainter;

namespace velmor {

// A two-state switch drawn as a pill (green while on), with an optional text
// before it; a checkable button. The tool list draws the same pill in its rows.
class Switch : public QAbstractButton {
public:
    static constexpr QSize pillSize{38, 22};

    explicit Switch(QWidget* parent = nullptr);
    explicit Switch(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Draws the pill filling `pill`.
    static void paintPill(QPainter& painter, const QRectF& pill, bool checked, bool enabled = true);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int textGap = 8;
};

} // namespace velmor
