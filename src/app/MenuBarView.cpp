#include "app/MenuBarView.h"

#include "platform/MainQueue.h"
#include "ui/shared/MenuColours.h"
#include "ui/shared/NameFit.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/Theme.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <QtMath>

#include <algorithm>

namespace velmor {

namespace {

using Kind = MenuBarItem::Kind;

// Runs later, while the menu still exists.
void later(QMenu* menu, std::function<void()> work)
{
    postToMain([menu = QPointer(menu), work = std::move(work)] {
        if (menu && work)
            work();
    });
}

// Text the menu shows but that is no command: a label, so the style does not
// grey it out as it greys a disabled action.
void addText(QMenu& menu, const QString& text, const QFont& font, const QColor& colour, const QString& name)
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setContentsMargins(12, 4, 12, 2);
    // A caption longer than a menu is wide takes two lines rather than widening the menu.
    const int widest = qFloor(nameFit::menuWidth(QFontMetricsF(menu.font())));
    if (label->sizeHint().width() > widest) {
        label->setWordWrap(true);
        label->setFixedSize(widest, label->heightForWidth(widest));
    }
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    auto* action = new QWidgetAction(&menu);
    action->setDefaultWidget(label);
    menu.addAction(action);
}

// A one-pixel line with room above and below.
void addDivider(QMenu& menu, const QColor& colour)
{
    auto* holder = new QWidget;
    holder->setObjectName(QStringLiteral("menuBarDivider"));
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(8, 4, 8, 4);
    auto* line = new QFrame(holder);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    layout->addWidget(line);
    auto* action = new QWidgetAction(&menu);
    action->setDefaultWidget(holder);
    menu.addAction(action);
}

} // namespace

MenuBarView::Colours MenuBarView::colours(const QPalette& palette) { return MenuColours::of(palette); }

MenuBarView::MenuBarView(const MenuBarModel& model) : menu_(std::make_unique<QMenu>())
{
    menu_->setTitle(QStringLiteral("Velmor"));
    menu_->setObjectName(QStringLiteral("trayMenu"));
    subscription_ = model.items().subscribe([this](const QList<MenuBarItem>& items) { render(items); });
}

MenuBarView::~MenuBarView() = default;

void MenuBarView::render(const QList<MenuBarItem>& items)
{
    // Most edits (a mapping, a tool's name) leave the menu as it looks: its actions
    // then only take the new commands, which they read when triggered.
    const bool looksSame = std::equal(items.cbegin(), items.cend(), shown_.cbegin(), shown_.cend(),
                                      [](const MenuBarItem& a, const MenuBarItem& b) {
                                          return a.kind == b.kind && a.title == b.title &&
                                                 a.actionTitle == b.actionTitle && a.symbol == b.symbol &&
                                                 a.checked == b.checked;
                                      });
    shown_ = items;
    if (looksSame && !menu_->actions().isEmpty())
        return;
    menu_->clear();
    const Colours colours = MenuBarView::colours(menu_->palette());
    entryTexts_.beginFill(*menu_);
    for (qsizetype index = 0; index < shown_.size(); ++index)
        add(index, colours);
}

void MenuBarView::run(qsizetype index) const
{
    if (index < shown_.size())
        later(menu_.get(), shown_[index].activate);
}

void MenuBarView::add(qsizetype index, const Colours& colours)
{
    QMenu* menu = menu_.get();
    const MenuBarItem& item = shown_[index];
    // A name as long as it may be still leaves the menu the width of a menu;
    // Velmor's own texts fit as they are.
    const QString title =
        item.kind == Kind::button ? plainText::actionText(item.title) : entryTexts_.entryText(item.title);
    switch (item.kind) {
    case Kind::header: {
        addText(*menu, item.title, Theme::boldFont(Theme::TextStyle::headline), colours.headline,
                QStringLiteral("menuBarHeader"));
        QAction* open = menu->addAction(item.actionTitle);
        QObject::connect(open, &QAction::triggered, menu, [this, index] { run(index); });
        return;
    }
    case Kind::divider:
        addDivider(*menu, colours.divider);
        return;
    case Kind::caption:
        addText(*menu, item.title, Theme::font(Theme::TextStyle::caption), colours.secondary,
                QStringLiteral("menuBarCaption"));
        return;
    case Kind::button:
    case Kind::row: {
        QAction* action = menu->addAction(title);
        if (!item.symbol.isEmpty())
            action->setIcon(SymbolIcons::instance().icon(item.symbol, Theme::textPrimary()));
        QObject::connect(action, &QAction::triggered, menu, [this, index] { run(index); });
        return;
    }
    case Kind::toggle: {
        QAction* action = menu->addAction(title);
        action->setCheckable(true);
        action->setChecked(item.checked);
        QObject::connect(action, &QAction::triggered, menu, [this, menu, action, index](bool on) {
            if (index >= shown_.size())
                return;
            // Back to what the source says; its next list moves the check.
            action->setChecked(shown_[index].checked);
            later(menu, [toggle = shown_[index].toggle, on] { toggle(on); });
        });
        return;
    }
    }
}

} // namespace velmor
