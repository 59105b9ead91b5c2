#include "ui/mapping/widgets/TopToolbar.h"

#include "platform/Text.h"
#include "ui/mapping/MappingTexts.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/MenuRoom.h"
#include "ui/shared/widgets/NiceButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QResizeEvent>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>

#include <algorithm>

namespace velmor {

using namespace mappingViews;

namespace {

constexpr int cardPadding = 10;
constexpr int itemSpacing = 12;

} // namespace

// The device picker: the device's name, cut at the end with "…" only where the
// toolbar gives it less room than the whole name takes, then the chevron.
class DevicePicker : public QToolButton {
public:
    using QToolButton::QToolButton;

    QSize minimumSizeHint() const override
    {
        const QSize full = sizeHint();
        const int textWidth = fontMetrics().horizontalAdvance(text());
        const int shortest = fontMetrics().horizontalAdvance(QStringLiteral("Razer…"));
        return {full.width() - textWidth + std::min(textWidth, shortest), full.height()};
    }

    QString shownText() const
    {
        // Measured against the size hint, not against a rounded text width: a name
        // a fraction of a pixel wider than its rounded width is not cut.
        const int missing = sizeHint().width() - width();
        if (missing <= 0)
            return text();
        const int room = fontMetrics().horizontalAdvance(text()) - missing;
        return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, room));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        option.text = shownText();
        painter.drawComplexControl(QStyle::CC_ToolButton, option);
    }
};

TopToolbar::TopToolbar(MappingController& controller, Actions actions, QWidget* parent)
    : QWidget(parent), controller_(controller), actions_(std::move(actions))
{
    setObjectName(QStringLiteral("topToolbar"));
    auto* outer = column(this, 0);
    auto* card = new GlassCard(cardPadding);
    outer->addWidget(card);
    auto* content = new QWidget;
    lines_ = row(content, itemSpacing);
    leading_ = new QWidget;
    auto* layout = row(leading_, itemSpacing);

    auto* device = column(2);
    devicePicker_ = new DevicePicker;
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
        // A click leaves the keyboard focus where it was (a list, the canvas).
        button->setFocusPolicy(Qt::TabFocus);
        QObject::connect(button, &QAbstractButton::clicked, this, action);
        layout->addWidget(button);
        return button;
    };
    command("editLayout", "square.and.pencil", "Edit Layout", Theme::surface(),
            [this] { actions_.onEditLayout(); });
    command("syncNow", "arrow.triangle.2.circlepath", "Sync Now", Theme::withOpacity(Theme::accentGreen(), 0.9),
            [this] { actions_.onSyncNow(); });
    layout->addStretch(1); // on its own line the device column stays at the leading edge
    lines_->addWidget(leading_);
    lines_->addStretch(1);
    trailing_ = new QWidget;
    trailing_->setObjectName(QStringLiteral("toolbarTrailing"));
    layout = row(trailing_, itemSpacing);
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
    lines_->addWidget(trailing_);
    card->setContent(content);
    card->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

QString TopToolbar::shownDeviceName() const { return devicePicker_->shownText(); }

int TopToolbar::oneLineMinimumWidth() const
{
    return leading_->minimumSizeHint().width() + itemSpacing + trailing_->minimumSizeHint().width() + 2 * cardPadding;
}

QSize TopToolbar::minimumSizeHint() const
{
    // Two lines need only the wider of the two; the height is the current one's.
    const int wrappedWidth =
        std::max(leading_->minimumSizeHint().width(), trailing_->minimumSizeHint().width()) + 2 * cardPadding;
    return {wrappedWidth, QWidget::minimumSizeHint().height()};
}

void TopToolbar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const bool wrap = width() < oneLineMinimumWidth();
    if (wrap == wrapped_)
        return;
    wrapped_ = wrap;
    lines_->setDirection(wrap ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
    lines_->setSpacing(wrap ? 8 : itemSpacing);
    updateGeometry();
}

void TopToolbar::render(const MappingController::State& state)
{
    devicePicker_->setText(plainText::actionText(text::displayName(state.activeDevice.name)));
    QList<QString> ids;
    for (const Device& device : state.devices)
        ids.append(device.id + QLatin1Char('\n') + device.name);
    if (ids != menuDeviceIds_) {
        menuDeviceIds_ = ids;
        deviceMenu_->clear();
        const MenuRoom room(*deviceMenu_);
        for (const Device& device : state.devices) {
            QAction* item = deviceMenu_->addAction(room.entryText(text::shownName(device.name)));
            item->setObjectName(QStringLiteral("device-") + device.id);
            QObject::connect(item, &QAction::triggered, this, [this, id = device.id] { actions_.onSelectDevice(id); });
        }
    }
    const bool connected = state.isActiveDeviceConnected();
    connectionDot_->setColour(connected ? Theme::accentGreen() : Theme::accentAmber());
    // Without hardware the mock device stands in: it says so rather than name a device type.
    connectionText_->setText(!connected                  ? QStringLiteral("Not connected")
                             : state.isActiveDeviceMock() ? QStringLiteral("Mock Input")
                                                          : mappingText::capitalized(state.activeDevice.type));
    savedState_->setText(mappingText::savedText(state.lastSaved));
    setEnabledKeepingFocus(*undo_, state.canUndo());
    setEnabledKeepingFocus(*reset_, state.hasUnsavedChanges);
    setEnabledKeepingFocus(*clear_, state.canClear());
    setEnabledKeepingFocus(*save_, state.hasUnsavedChanges);
}

void TopToolbar::setEnabledKeepingFocus(QWidget& button, bool enabled)
{
    // Qt hands the focus of a widget that turns disabled to the next in the tab
    // chain, a filter field of the next column; keep it in the toolbar instead.
    if (!enabled && button.hasFocus())
        devicePicker_->setFocus(Qt::OtherFocusReason);
    button.setEnabled(enabled);
}

} // namespace velmor
