#pragma once

#include <QPushButton>
#include <QWidget>

class QApplication;
class QAbstractButton;

namespace velmor {

// Gives the application the windows' dark look: the Fusion style, Theme::palette()
// and the body text size, and a FocusRing on whatever has the keyboard focus. The
// application and the screenshots call it once.
void installTheme(QApplication& application);

// The prominent (default-action) look of a standard button: filled with the
// accent blue, white text.
void makeProminent(QAbstractButton& button);

// A standard button with room either side of its text, whatever its length:
// the style keeps a long title only a few pixels from the button's edges.
class PaddedButton : public QPushButton {
public:
    static constexpr int textPadding = 12;

    explicit PaddedButton(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
};

// Paints Theme::backgroundGradient behind its children: the windows' background.
class Backdrop : public QWidget {
public:
    explicit Backdrop(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velmor
