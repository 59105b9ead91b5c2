#pragma once

#include <QWidget>

class QVBoxLayout;

namespace velmor {

// The card that frames the windows' panels: a rounded rectangle filled with
// Theme::panelGradient, a thin border and a soft shadow below, with its content
// inset by `padding` on every edge. The card fills the space its container gives
// it; its content is not clipped to the rounded corners.
class GlassCard : public QWidget {
public:
    static constexpr qreal cornerRadius = 14;

    explicit GlassCard(int padding, QWidget* parent = nullptr);

    // Puts `content` into the card (the card takes it over); it fills the padded area.
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }
    int padding() const { return padding_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int padding_;
    QVBoxLayout* layout_;
    QWidget* content_ = nullptr;
};

} // namespace velmor
