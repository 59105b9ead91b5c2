#include "ui/mapping/widgets/TopToolbar.h"

#include "ui/mapping/MappingTexts.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/NiceButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

namespace velmor {

using namespace mappingViews;

TopToolbar::TopToolbar(MappingController& controller, Actions actions, QWidget* parent)
    : QWidget(parent), controller_(controller), actions_(std::move(actions))
{
    auto* outer = column(this, 0);
    auto* card = new GlassCard(10);
    outer->addWidget(card);
    auto* content = new QWidget;
    auto* layout = row(content, 12);

    auto* device = column(2);
    devicePicker_ = new QToolButton;
    devicePicker_->setObjectName(QStringLiteral("devicePicker"));
    devicePicker_->setToolTip(QStringLiteral("Select device"));
    devicePicker_->setAutoRaise(true);
    devicePicker_->setPopupMode(QToolButton::InstantPopup);
    devicePicker_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    devicePicker_->setLayoutDirection(Qt::RightToLeft); // the chevron after the name
    devicePicker_->setIcon(SymbolIcons::instance().icon(QStringLiteral("chevron.down"), Theme::gray()));
    devicePicker_->setIconSize(QSize(10, 10));
    devicePicker_->setFont(Theme::boldFont(Style::headline));
    devicePicker_->setStyleSheet(QStringLiteral("QToolButton { color: white; border: none; padding: 0; }"
                                                "QToolButton::menu-indicator { image: none; width: 0; }"));
    deviceMenu_ = new QMenu(devicePicker_);
    devicePicker_->setMenu(deviceMenu_);
    device->addWidget(devicePicker_, 0, Qt::AlignLeft);
    auto* connection = row(6);
    connectionDot_ = new Dot(6);
    connectionText_ = textLabel({}, Style::caption, Theme::gray());
    connectionText_->setObjectName(QStringLiteral("connectionState"));
    connection->addWidget(connectionDot_);
    connection->addWidget(connectionText_);
    connection->addStretch();
    device->addLayout(connection);
    layout->addLayout(device);

    auto command = [&](const char* name, const char* symbol, const char* title, const QColor& tint, auto action) {
        auto* button = new NiceButton(QString::fromLatin1(symbol), QString::fromLatin1(title), {tint});
        button->setObjectName(QString::fromLatin1(name));
        QObject::connect(button, &QAbstractButton::clicked, this, action);
        layout->addWidget(button);
        return button;
    };
    command("editLayout", "square.and.pencil", "Edit Layout", Theme::surface(),
            [this] { actions_.onEditLayout(); });
    command("syncNow", "arrow.triangle.2.circlepath", "Sync Now", Theme::withOpacity(Theme::accentGreen(), 0.9),
            [this] { actions_.onSyncNow(); });
    layout->addStretch(1);
    savedState_ = textLabel({}, Style::caption2, Theme::gray());
    savedState_->setObjectName(QStringLiteral("savedState"));
    layout->addWidget(savedState_);
    undo_ = command("undo", "arrow.uturn.backward", "Undo", Theme::surface(), [this] { actions_.onUndo(); });
    reset_ = command("reset", "arrow.counterclockwise", "Reset", Theme::surface(),
                     [this] { actions_.onReset(); });
    clear_ = command("clear", "trash", "Clear", Theme::withOpacity(Theme::accentRed(), 0.8),
                     [this] { actions_.onClear(); });
    save_ = command("save", "square.and.arrow.down", "Save", Theme::accentCyan(), [this] { actions_.onSave(); });
    card->setContent(content);
    card->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

void TopToolbar::render(const MappingController::State& state)
{
    devicePicker_->setText(state.activeDevice.name);
    QList<QString> ids;
    for (const Device& device : state.devices)
        ids.append(device.id + QLatin1Char('\n') + device.name);
    if (ids != menuDeviceIds_) {
        menuDeviceIds_ = ids;
        deviceMenu_->clear();
        for (const Device& device : state.devices) {
            QAction* item = deviceMenu_->addAction(device.name);
            item->setObjectName(QStringLiteral("device-") + device.id);
            QObject::connect(item, &QAction::triggered, this, [this, id = device.id] { actions_.onSelectDevice(id); });
        }
    }
    const bool connected = state.isActiveDeviceConnected();
    connectionDot_->setColour(connected ? Theme::accentGreen() : Theme::accentAmber());
    connectionText_->setText(connected ? mappingText::capitalized(state.activeDevice.type)
                                       : QStringLiteral("Not connected"));
    savedState_->setText(mappingText::savedText(state.lastSaved));
    undo_->setEnabled(state.canUndo());
    reset_->setEnabled(state.hasUnsavedChanges);
    clear_->setEnabled(state.canClear());
    save_->setEnabled(state.hasUnsavedChanges);
}

} // namespace velmor
