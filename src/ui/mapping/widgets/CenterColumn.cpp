#include "ui/mapping/widgets/CenterColumn.h"

#include "ui/mapping/widgets/DeviceCanvas.h"
#include "ui/mapping/widgets/TopToolbar.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/NiceButton.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QStackedWidget>

namespace velmor {

using namespace mappingViews;

namespace {

// The rounded panel behind the canvas.
class CanvasPanel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::panelGradient());
        painter.drawRoundedRect(QRectF(rect()), 18, 18);
    }
};

QWidget* permissionBanner(MappingController& controller)
{
    auto* banner = new RoundedBox(12);
    banner->setObjectName(QStringLiteral("permissionBanner"));
    banner->setGradientFill(true);
    banner->setLook({}, Theme::withOpacity(Theme::border(), 0.7), 1);
    auto* layout = row(banner, 12);
    layout->setContentsMargins(12, 12, 12, 12);
    auto* lock = new QLabel;
    lock->setPixmap(SymbolIcons::instance().pixmap(QStringLiteral("lock.slash"), 20, Theme::accentAmber()));
    layout->addWidget(lock);
    auto* texts = column(4);
    texts->addWidget(textLabel(QStringLiteral("Permissions required"), Style::headline, Theme::textPrimary()));
    auto* detail = textLabel(
        QStringLiteral("Enable Accessibility and Input Monitoring to capture device buttons and send shortcuts."),
        Style::caption, Theme::withOpacity(Theme::textPrimary(), 0.75));
    detail->setWordWrap(true); // a narrow centre wraps it rather than widening the window
    texts->addWidget(detail);
    layout->addLayout(texts, 1);
    auto* help = new NiceButton(QStringLiteral("Permissions Help"), {Theme::accentCyan()});
    help->setObjectName(QStringLiteral("permissionsHelp"));
    QObject::connect(help, &QAbstractButton::clicked, banner, [&controller] { controller.setShowPermissionHelp(true); });
    layout->addWidget(help);
    return banner;
}

QWidget* placeholder()
{
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("noDevice"));
    auto* layout = column(box, 8);
    layout->addStretch();
    layout->addWidget(textLabel(QStringLiteral("No device selected"), Style::headline, Qt::white), 0, Qt::AlignHCenter);
    layout->addWidget(textLabel(QStringLiteral("Select a device to start mapping."), Style::caption, Theme::gray()), 0,
                      Qt::AlignHCenter);
    layout->addStretch();
    return box;
}

} // namespace

CenterColumn::CenterColumn(MappingController& controller, QWidget* parent) : QWidget(parent), controller_(controller)
{
    auto* layout = column(this, 12);
    banner_ = permissionBanner(controller_);
    layout->addWidget(banner_);
    MappingController& c = controller_;
    layout->addWidget(new TopToolbar(c, {.onEditLayout = [&c] { c.setShowLayoutEditor(true); },
                                         .onSyncNow = [&c] { c.syncNow(); },
                                         .onSelectDevice = [&c](const QString& id) { c.selectDevice(id); },
                                         .onSave = [&c] { c.save(); },
                                         .onUndo = [&c] { c.undoLastMapping(); },
                                         .onReset = [&c] { c.restoreLastSaved(); },
                                         .onClear = [&c] { c.confirmClearAllMappings(); }}));

    auto* panel = new CanvasPanel;
    auto* panelLayout = column(panel, 0);
    canvasStack_ = new QStackedWidget;
    canvas_ = new DeviceCanvas(controller_);
    auto* padded = new QWidget;
    auto* paddedLayout = column(padded, 0);
    paddedLayout->setContentsMargins(12, 12, 12, 12);
    paddedLayout->addWidget(canvas_);
    canvasStack_->addWidget(padded);
    canvasStack_->addWidget(placeholder());
    panelLayout->addWidget(canvasStack_);
    dimming_ = new QGraphicsOpacityEffect(panel);
    dimming_->setOpacity(1.0);
    panel->setGraphicsEffect(dimming_);
    layout->addWidget(panel, 1);

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

qreal CenterColumn::canvasOpacity() const { return dimming_->opacity(); }

void CenterColumn::render(const MappingController::State& state)
{
    banner_->setVisible(!state.permissionsGranted());
    canvasStack_->setCurrentIndex(state.activeDevice.buttons.isEmpty() ? 1 : 0);
    dimming_->setOpacity(state.selectedMode == MappingMode::mappings ? 1.0 : 0.92);
}

} // namespace velmor
