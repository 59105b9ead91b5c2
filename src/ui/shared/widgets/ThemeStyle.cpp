#include "ui/shared/widgets/ThemeStyle.h"

#include "ui/shared/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPainter>
#include <QStyleFactory>

namespace velmor {

void installTheme(QApplication& application)
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QApplication::setPalette(Theme::palette());
    QFont font = QApplication::font();
    font.setPixelSize(Theme::font(Theme::TextStyle::body).pixelSize());
    application.setFont(font);
}

void makeProminent(QAbstractButton& button)
{
    QPalette palette = button.palette();
    palette.setColor(QPalette::Button, Theme::blue());
    palette.setColor(QPalette::ButtonText, Qt::white);
    button.setPalette(palette);
}

Backdrop::Backdrop(QWidget* parent) : QWidget(parent) {}

void Backdrop::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::backgroundGradient());
}

} // namespace velmor
