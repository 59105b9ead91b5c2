#include "ui/mapping/widgets/MappingView.h"

#include "ui/shared/widgets/AlertBanner.h"
#include "ui/mapping/widgets/CenterColumn.h"
#include "ui/mapping/widgets/ContextPanelDevices.h"
#include "ui/mapping/widgets/ContextPanelMappings.h"
#include "ui/mapping/widgets/ContextPanelProfiles.h"
#include "ui/mapping/widgets/ContextPanelSystem.h"
#include "ui/mapping/widgets/MappingColumns.h"
#include "ui/mapping/widgets/ModeRail.h"
#include "ui/mapping/widgets/RightColumn.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/NewUserProfileSheet.h"
#include "ui/shared/widgets/PermissionHelpView.h"
#include "ui/shared/widgets/RenameUserProfileSheet.h"
#include "ui/shared/widgets/SheetHost.h"
#include "ui/shared/widgets/ToastView.h"
#include "ui/shared/Theme.h"

#include <QPainter>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStackedWidget>

namespace velmor {

namespace {

int panelIndex(MappingMode mode) { return static_cast<int>(mode); }

void closeSheet(QPointer<SheetHost>& host)
{
    if (!host)
        return;
    host->hide();
    host->deleteLater();
    host = nullptr;
}

// The window's actions behind each context panel's controls.
ContextPanelProfiles::Actions profilesActions(MappingController& c)
{
    return {.onSelectUser = [&c](const QUuid& id) { c.selectUserProfile(id); },
            .onNewUser = [&c] { c.beginNewUserProfile(); },
            .onRenameUser = [&c] { c.beginRenameUserProfile(); },
            .onDeleteUser = [&c] { c.confirmDeleteUserProfile(); },
            .onSelectPacs = [&c](const QUuid& id) { c.selectPacsProfile(id); },
            .onLightingChange = [&c](const QColor& colour) { c.setLightingColor(colour); },
            .onUsePacsDefault = [&c] { c.usePacsDefaultLighting(); },
            .importUser = [&c] { c.importUserProfile(); },
            .exportUser = [&c] { c.exportUserProfile(); },
            .importPacs = [&c] { c.importPacsProfile(); },
            .exportPacs = [&c] { c.exportPacsProfile(); }};
}

ContextPanelDevices::Actions devicesActions(MappingController& c)
{
    return {.onSelectDevice = [&c](const QString& id) { c.selectDevice(id); },
            .onSetControlEnabled = [&c](const ConnectedDeviceInfo& device, bool enabled) {
                c.setControlEnabled(device, enabled);
            },
            .onEditLayout = [&c] { c.setShowLayoutEditor(true); },
            .onResetMappings = [&c] { c.resetMappingsToDefaults(); }};
}

ContextPanelMappings::Actions mappingsActions(MappingController& c)
{
    return {.onSelectTool = [&c](const RadiologyTool& tool) { c.selectTool(tool); },
            .onToggleFavorite = [&c](const RadiologyTool& tool) { c.toggleFavorite(tool); },
            .onSwap = [&c] { c.swapMappings(); },
            .onCopy = [&c] { c.copyMapping(); }};
}

ContextPanelSystem::Actions systemActions(MappingController& c)
{
    return {.onRequestPermissions = [&c] { c.requestPermissions(); },
            .onShowHelp = [&c] { c.setShowPermissionHelp(true); },
            .onShowDiagnostics = [&c] { c.showHIDInspector(); }};
}

} // namespace

MappingView::MappingView(MappingController& controller, QWidget* parent) : QWidget(parent), controller_(controller)
{
    setObjectName(QStringLiteral("mappingView"));
    auto* rail = new ModeRail(controller_);

    auto* panelCard = new GlassCard(14);
    panelCard->setObjectName(QStringLiteral("contextPanelCard"));
    panels_ = new QStackedWidget;
    panels_->setObjectName(QStringLiteral("contextPanels"));
    // In the order of the modes.
    panels_->addWidget(new ContextPanelProfiles(controller_, profilesActions(controller_)));
    panels_->addWidget(new ContextPanelDevices(controller_, devicesActions(controller_)));
    panels_->addWidget(new ContextPanelMappings(controller_, mappingsActions(controller_)));
    panels_->addWidget(new ContextPanelSystem(controller_, systemActions(controller_)));
    panelCard->setContent(panels_);

    center_ = new CenterColumn(controller_);
    auto* right = new RightColumn(controller_);
    new MappingColumnsLayout(rail, panelCard, center_, right, this);

    toast_ = new ToastView({}, this);
    toast_->setObjectName(QStringLiteral("toast"));
    toast_->hide();
    banner_ = new AlertBanner([this] { controller_.dismissAlert(); }, this);
    banner_->setObjectName(QStringLiteral("alertBanner"));
    banner_->hide();

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

MappingView::~MappingView()
{
    subscription_ = {};
    delete newUserSheet_.data();
    delete renameSheet_.data();
    delete permissionSheet_.data();
}

QSize MappingView::defaultSize(const QSize& available)
{
    return QSize(1920, 1080).boundedTo(available.isValid() ? available : QSize(1920, 1080));
}

void MappingView::render(const MappingController::State& state)
{
    panels_->setCurrentIndex(panelIndex(state.selectedMode));
    if (state.alertMessage) {
        banner_->setAlert(*state.alertMessage);
        banner_->show();
        banner_->raise();
    } else {
        banner_->hide();
    }
    if (state.toastMessage) {
        toast_->setMessage(*state.toastMessage);
        toast_->show();
        toast_->raise();
        banner_->raise(); // the banner stays above the toast
    } else {
        toast_->hide();
    }
    placeOverlays();
    renderSheets(state);
}

void MappingView::renderSheets(const MappingController::State& state)
{
    if (state.showNewUserSheet && !newUserSheet_) {
        MappingController& c = controller_;
        NewUserProfileForm form(
            Binding<QString>([&c] { return c.state().get().newUserName; }, [&c](const QString& v) { c.setNewUserName(v); }),
            Binding<std::optional<QUuid>>([&c] { return c.state().get().newUserPacsId; },
                                          [&c](const std::optional<QUuid>& v) { c.setNewUserPacsId(v); }),
            Binding<std::optional<QString>>([&c] { return c.state().get().newUserDeviceId; },
                                            [&c](const std::optional<QString>& v) { c.setNewUserDeviceId(v); }),
            state.pacsProfiles, state.devices, [&c] { c.createNewUserProfile(); }, [&c] { c.closeNewUserSheet(); });
        auto* sheet = new NewUserProfileSheet(std::move(form));
        newUserSheet_ = new SheetHost(sheet, [&c] { c.closeNewUserSheet(); }, this);
        newUserSheet_->open();
    } else if (!state.showNewUserSheet) {
        closeSheet(newUserSheet_);
    } else if (auto* sheet = static_cast<NewUserProfileSheet*>(newUserSheet_->sheet())) {
        sheet->refresh();
    }

    if (state.showRenameSheet && !renameSheet_) {
        MappingController& c = controller_;
        auto* sheet = new RenameUserProfileSheet(
            Binding<QString>([&c] { return c.state().get().renameUserName; },
                             [&c](const QString& v) { c.setRenameUserName(v); }),
            [&c] { c.saveRename(); }, [&c] { c.closeRenameSheet(); });
        renameSheet_ = new SheetHost(sheet, [&c] { c.closeRenameSheet(); }, this);
        renameSheet_->open();
    } else if (!state.showRenameSheet) {
        closeSheet(renameSheet_);
    }

    if (state.showPermissionHelp && !permissionSheet_) {
        MappingController& c = controller_;
        auto* help = new PermissionHelpView(c.shortcutExecutor(), [&c] { c.setShowPermissionHelp(false); });
        permissionSheet_ = new SheetHost(help, [&c] { c.setShowPermissionHelp(false); }, this);
        permissionSheet_->open();
    } else if (!state.showPermissionHelp) {
        closeSheet(permissionSheet_);
    }
}

void MappingView::placeOverlays()
{
    if (banner_->isVisible()) {
        const int width = std::max(0, this->width() - 40);
        banner_->setGeometry(20, 0, width, banner_->heightForWidth(width) > 0 ? banner_->heightForWidth(width)
                                                                              : banner_->sizeHint().height());
    }
    if (toast_->isVisible()) {
        const QSize size = toast_->sizeHint();
        toast_->setGeometry(width() - 20 - size.width(), 0, size.width(), size.height());
    }
}

void MappingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::backgroundGradient());
}

void MappingView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeOverlays();
}

void MappingView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        controller_.appear();
}

} // namespace velmor
