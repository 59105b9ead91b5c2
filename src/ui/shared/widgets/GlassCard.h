#pragma once

#include <QPointer>
#include <QWidget>

class QGraphicsDropShadowEffect;
class QPainter;
class QVBoxLayout;

namespace velmor {

class CardShadow;

// The card that frames the windows' panels: a rounded rectangle filled with
// Theme::panelGradient, a thin border and a soft shadow below, with its content
// inset by `padding` on every edge. The card fills the space its container gives
// it; its content is not clipped to the rounded corners. The shadow falls outside
// the card without taking room in the layout.
class GlassCard : public QWidget {
public:
    static constexpr qreal cornerRadius = 14;

    explicit GlassCard(int padding, QWidget* parent = nullptr);
    ~GlassCard() override;

    // Puts `content` into the card (the card takes it over); it fills the padded area.
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }
    int padding() const { return padding_; }

    // The card's face in `rect`, and its shadow's look.
    static void paintCard(QPainter& painter, const QRectF& rect);
    static void styleShadow(QGraphicsDropShadowEffect& shadow);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    int padding_;
    QVBoxLayout* layout_;
    QWidget* content_ = nullptr;
    // A sibling in the card's parent; none while the card has no parent.
    QPointer<CardShadow> shadow_;
};

} // namespace velmor
