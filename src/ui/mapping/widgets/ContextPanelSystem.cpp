#include "ui/mapping/widgets/ContextPanelSystem.h"

#include "ui/mapping/widgets/PanelHeader.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/widgets/NiceButton.h"

#include <QVBoxLayout>

namespace velmor {

using namespace mappingViews;

ContextPanelSystem::ContextPanelSystem(MappingController& controller, Actions actions, QWidget* parent)
    : ScrollPanel(parent), controller_(controller), actions_(std::move(actions))
{
    body()->addWidget(new PanelHeader(QStringLiteral("System"), QStringLiteral("Permissions + Diagnostics")));
    auto* buttons = column(10);
    permissions_ = new NiceButton(QStringLiteral("lock.slash"), QStringLiteral("Permissions"), {Theme::accentCyan()});
    permissions_->setObjectName(QStringLiteral("permissions"));
    QObject::connect(permissions_, &QAbstractButton::clicked, this, [this] { actions_.onRequestPermissions(); });
    auto* help = new NiceButton(QStringLiteral("questionmark.circle"), QStringLiteral("Help"), {Theme::surface()});
    help->setObjectName(QStringLiteral("help"));
    QObject::connect(help, &QAbstractButton::clicked, this, [this] { actions_.onShowHelp(); });
    auto* diagnostics = new NiceButton(QStringLiteral("waveform.path.ecg"), QStringLiteral("Diagnostics"), {Theme::surface()});
    diagnostics->setObjectName(QStringLiteral("diagnostics"));
    QObject::connect(diagnostics, &QAbstractButton::clicked, this, [this] { actions_.onShowDiagnostics(); });
    for (QWidget* button : {static_cast<QWidget*>(permissions_), static_cast<QWidget*>(help), static_cast<QWidget*>(diagnostics)})
        buttons->addWidget(button, 0, Qt::AlignLeft);
    body()->addLayout(buttons);
    body()->addStretch();

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

void ContextPanelSystem::render(const MappingController::State& state)
{
    const bool granted = state.permissionsGranted();
    permissions_->setSymbol(granted ? QStringLiteral("lock.open") : QStringLiteral("lock.slash"));
    permissions_->setNiceStyle({granted ? Theme::accentGreen() : Theme::accentCyan()});
}

} // namespace velmor
