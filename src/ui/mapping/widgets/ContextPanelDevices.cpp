#include "ui/mapping/widgets/ContextPanelDevices.h"

#include "platform/Text.h"
#include "ui/mapping/MappingTexts.h"
#include "ui/mapping/widgets/PanelHeader.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/NiceButton.h"

#include <QMouseEvent>
#include <QVBoxLayout>

namespace velmor {

using namespace mappingViews;

namespace {

void clearLayout(QLayout& layout, int keep)
{
    while (layout.count() > keep) {
        QLayoutItem* item = layout.takeAt(keep);
        if (QWidget* widget = item->widget()) {
            // Later: the row may be the one whose click is being handled.
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
}

// A template row: the name, the active or connected mark, on a rounded plate; a click chooses it.
class TemplateRow : public RoundedBox {
public:
    TemplateRow(const Device& device, bool active, bool connected, std::function<void()> onClick)
        : RoundedBox(10), onClick_(std::move(onClick))
    {
        setObjectName(QStringLiteral("template-") + device.id);
        setCursor(Qt::PointingHandCursor);
        setLook(active ? Theme::withOpacity(Theme::accentPurple(), 0.18) : Theme::surface(),
                active ? Theme::accentPurple() : Theme::border(), active ? 1.5 : 1);
        auto* layout = row(this, 6);
        layout->setContentsMargins(10, 8, 10, 8);
        auto* name = nameLabel(text::shownName(device.name), Style::subheadline, Qt::white, active);
        name->setObjectName(QStringLiteral("templateName"));
        layout->addWidget(name);
        layout->addStretch();
        if (active || connected) {
            auto* mark = new QLabel;
            mark->setObjectName(active ? QStringLiteral("activeMark") : QStringLiteral("connectedMark"));
            mark->setPixmap(SymbolIcons::instance().pixmap(
                active ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("bolt.horizontal.fill"), 16,
                active ? Theme::accentPurple() : Theme::accentGreen()));
            layout->addWidget(mark);
        }
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            onClick_();
    }

private:
    std::function<void()> onClick_;
};

} // namespace

ContextPanelDevices::ContextPanelDevices(MappingController& controller, Actions actions, QWidget* parent)
    : ScrollPanel(parent), controller_(controller), actions_(std::move(actions))
{
    body()->addWidget(new PanelHeader(QStringLiteral("Devices"), QStringLiteral("Connected + Layout")));
    connected_ = column(10);
    connected_->addWidget(sectionTitle(QStringLiteral("Connected")));
    body()->addLayout(connected_);
    body()->addWidget(divider());
    templates_ = column(10);
    templates_->addWidget(sectionTitle(QStringLiteral("Select Device")));
    body()->addLayout(templates_);
    body()->addWidget(divider());
    auto* edit = new NiceButton(QStringLiteral("square.and.pencil"), QStringLiteral("Edit Layout"), {Theme::accentCyan()});
    edit->setObjectName(QStringLiteral("editLayout"));
    QObject::connect(edit, &QAbstractButton::clicked, this, [this] { actions_.onEditLayout(); });
    auto* reset = new NiceButton(QStringLiteral("arrow.counterclockwise"), QStringLiteral("Reset to Defaults"),
                                 {Theme::surface()});
    reset->setObjectName(QStringLiteral("resetMappings"));
    QObject::connect(reset, &QAbstractButton::clicked, this, [this] { actions_.onResetMappings(); });
    body()->addWidget(edit, 0, Qt::AlignLeft);
    body()->addWidget(reset, 0, Qt::AlignLeft);
    body()->addStretch();

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

void ContextPanelDevices::render(const MappingController::State& state)
{
    if (!rendered_ || state.connectedDevices != shownConnected_)
        renderConnected(state.connectedDevices);
    renderTemplates(state.devices, state.activeDevice.id, state.connectedDevices);
    rendered_ = true;
}

void ContextPanelDevices::renderConnected(const QList<ConnectedDeviceInfo>& devices)
{
    shownConnected_ = devices;
    clearLayout(*connected_, 1);
    if (devices.isEmpty()) {
        auto* none = textLabel(QStringLiteral("No devices connected."), Style::caption, Theme::gray());
        none->setObjectName(QStringLiteral("noDevices"));
        connected_->addWidget(none);
        return;
    }
    for (const ConnectedDeviceInfo& device : devices) {
        auto* line = new QWidget;
        line->setObjectName(QStringLiteral("connected-") + device.id());
        auto* layout = row(line, 8);
        layout->addWidget(new Dot(8, device.ignored ? Theme::accentAmber() : Theme::accentGreen()));
        auto* texts = column(2);
        texts->addWidget(
            nameLabel(text::shownName(mappingText::connectedDeviceName(device)), Style::caption, Qt::white));
        if (device.ignored)
            texts->addWidget(textLabel(QStringLiteral("Released for other apps"), Style::caption2, Theme::gray()));
        layout->addLayout(texts);
        if (device.vendorId != 0) {
            layout->addStretch();
            auto* control = new ToggleSwitch;
            control->setObjectName(QStringLiteral("control-") + device.id());
            control->setAccessibleName(QStringLiteral("Velmor Control"));
            control->setChecked(!device.ignored);
            control->setToolTip(device.ignored ? QStringLiteral("Let Velmor control this device")
                                               : QStringLiteral("Stop Velmor controlling this device so another app can use it"));
            QObject::connect(control, &QAbstractButton::clicked, this, [this, device, control](bool on) {
                // The switch shows the device's published state, not the click.
                control->setChecked(!device.ignored);
                actions_.onSetControlEnabled(device, on);
            });
            layout->addWidget(control);
        } else {
            layout->addStretch();
        }
        connected_->addWidget(line);
    }
}

void ContextPanelDevices::renderTemplates(const QList<Device>& devices, const QString& activeId,
                                   const QList<ConnectedDeviceInfo>& connected)
{
    QStringList shown;
    for (const Device& device : devices) {
        const bool isConnected = std::any_of(connected.cbegin(), connected.cend(), [&](const ConnectedDeviceInfo& info) {
            return info.templateId == device.id;
        });
        shown.append(device.id + QLatin1Char('\n') + device.name + QLatin1Char('\n') +
                     QString::number(device.id == activeId) + QString::number(isConnected));
    }
    if (rendered_ && shown == shownTemplates_)
        return;
    shownTemplates_ = shown;
    clearLayout(*templates_, 1);
    for (const Device& device : devices) {
        const bool isConnected = std::any_of(connected.cbegin(), connected.cend(), [&](const ConnectedDeviceInfo& info) {
            return info.templateId == device.id;
        });
        templates_->addWidget(new TemplateRow(device, device.id == activeId, isConnected,
                                              [this, id = device.id] { actions_.onSelectDevice(id); }));
    }
}

} // namespace velmor
