#include "ui/mapping/widgets/SystemPanel.h"

#include "ui/mapping/widgets/PanelHeader.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/widgets/NiceButton.h"

#include <QVBoxLayout>

namespace velmor {

using namespace mappingViews;

SystemPanel::SystemPanel(MappingController& controller, QWidget* parent) : ScrollPanel(parent), controller_(controller)
{
    body()->addWidget(new PanelHeader(QStringLiteral("System"), QStringLiteral("Permissions + Diagnostics")));
    auto* buttons = column(10);
    permissions_ = new NiceButton(QStringLiteral("lock.slash"), QStringLiteral("Permissions"), {Theme::accentCyan()});
    permissions_->setObjectName(QStringLiteral("permissions"));
    QObject::connect(permissions_, &QAbstractButton::clicked, this, [this] { controller_.requestPermissions(); });
    auto* help = new NiceButton(QStringLiteral("questionmark.circle"), QStringLiteral("Help"), {Theme::surface()});
    help->setObjectName(QStringLiteral("help"));
    QObject::connect(help, &QAbstractButton::clicked, this, [this] { controller_.setShowPermissionHelp(true); });
    auto* diagnostics = new NiceButton(QStringLiteral("waveform.path.ecg"), QStringLiteral("Diagnostics"), {Theme::surface()});
    diagnostics->setObjectName(QStringLiteral("diagnostics"));
    QObject::connect(diagnostics, &QAbstractButton::clicked, this, [this] { controller_.showHIDInspector(); });
    for (QWidget* button : {static_cast<QWidget*>(permissions_), static_cast<QWidget*>(help), static_cast<QWidget*>(diagnostics)})
        buttons->addWidget(button, 0, Qt::AlignLeft);
    body()->addLayout(buttons);
    body()->addStretch();

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

void SystemPanel::render(const MappingController::State& state)
{
    const bool granted = state.permissionsGranted();
    permissions_->setSymbol(granted ? QStringLiteral("lock.open") : QStringLiteral("lock.slash"));
    permissions_->setNiceStyle({granted ? Theme::accentGreen() : Theme::accentCyan()});
}

} // namespace velmor
