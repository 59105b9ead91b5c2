#include "ui/admin/widgets/AdminToolbar.h"

#include "ui/admin/widgets/AdminStyle.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/GlassCard.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace velmor {


AdminToolbar::AdminToolbar(Actions actions, QWidget* parent) : QWidget(parent)
{
    auto* card = new GlassCard(6, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(card);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* strip = new QWidget(card);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(6, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(admin::label(tr("Admin / Tools"), Theme::TextStyle::subheadline, Qt::white, true, strip));
    row->addStretch(1);
    auto add = [&](const char* name, const QString& symbol, const QString& text, const QColor& tint,
                   std::function<void()> action) {
        auto* button = new admin::CompactToolbarButton(symbol, text, admin::CompactToolbarButtonStyle{tint}, strip);
        button->setObjectName(QLatin1String(name));
        connect(button, &QPushButton::clicked, this, [action = std::move(action)] {
            if (action)
                action();
        });
        row->addWidget(button);
        return button;
    };
    add("newTool", QStringLiteral("plus"), tr("New Tool"), Theme::accentCyan(), std::move(actions.onNewTool));
    add("newToggle", QStringLiteral("arrow.2.squarepath"), tr("New Toggle"), Theme::surface(),
        std::move(actions.onNewToggle));
    add("newPacs", QStringLiteral("square.stack.3d.up"), tr("New PACS"), Theme::surface(), std::move(actions.onNewPacs));
    duplicate_ = add("duplicateTool", QStringLiteral("square.on.square"), tr("Duplicate"), Theme::surface(),
                     std::move(actions.onDuplicate));
    delete_ = add("deleteTool", QStringLiteral("trash"), tr("Delete"), Theme::withOpacity(Theme::accentRed(), 0.8),
                  std::move(actions.onDelete));
    card->setContent(strip);
}

void AdminToolbar::setCanEditTool(bool canEdit)
{
    duplicate_->setEnabled(canEdit);
    delete_->setEnabled(canEdit);
}

AdminPanelHeader::AdminPanelHeader(const QString& title, const QString& subtitle, QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(admin::label(title, Theme::TextStyle::headline, Qt::white, true, this));
    column->addWidget(admin::label(subtitle, Theme::TextStyle::caption, Theme::gray(), false, this));
}

} // namespace velmor
