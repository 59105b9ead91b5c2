#include "app/PlaceholderView.h"

#include "ui/shared/Theme.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QLabel>
#include <QVBoxLayout>

namespace velmor {

namespace {

QLabel* label(const QString& text, const QFont& font, const QColor& colour)
{
    auto* label = new QLabel(text);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

} // namespace

PlaceholderView::PlaceholderView(const QString& title, Qt::Alignment placement, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("placeholder"));
    auto* backdrop = new Backdrop;
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(backdrop);

    auto* content = new QWidget;
    auto* lines = new QVBoxLayout(content);
    lines->setSpacing(10);
    lines->addWidget(label(title, Theme::boldFont(Theme::TextStyle::title), Theme::textPrimary()));
    lines->addWidget(label(tr("This window is not part of this build yet."), Theme::font(Theme::TextStyle::body),
                           Theme::secondaryText()));
    auto* card = new GlassCard(24);
    card->setContent(content);
    card->setFixedSize(420, 140);

    auto* place = new QVBoxLayout(backdrop);
    place->setContentsMargins(32, 32, 32, 32);
    place->addWidget(card, 0, placement);
}

} // namespace velmor
