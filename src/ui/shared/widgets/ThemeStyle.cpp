#include "ui/shared/widgets/ThemeStyle.h"

#include "ui/shared/Theme.h"
#include "ui/shared/widgets/FocusRing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPainter>
#include <QStyleFactory>

#include <algorithm>

namespace velmor {

void installTheme(QApplication& application)
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QApplication::setPalette(Theme::palette());
    QFont font = QApplication::font();
    font.setPixelSize(Theme::font(Theme::TextStyle::body).pixelSize());
    application.setFont(font);
    new FocusRing(application);
}

void makeProminent(QAbstractButton& button)
{
    const QColor accent = Theme::blue();
    button.setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 6px;"
                                        " padding: 5px 14px; }"
                                        " QPushButton:pressed { background: %2; }"
                                        " QPushButton:disabled { background: %3; color: rgba(255,255,255,120); }")
                             .arg(accent.name(), accent.darker(130).name(), Theme::border().name()));
}

PaddedButton::PaddedButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

QSize PaddedButton::sizeHint() const
{
    const QSize styled = QPushButton::sizeHint();
    return {std::max(styled.width(), fontMetrics().horizontalAdvance(text()) + 2 * textPadding), styled.height()};
}

Backdrop::Backdrop(QWidget* parent) : QWidget(parent) {}

void Backdrop::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::backgroundGradient());
}

} // namespace velmor
