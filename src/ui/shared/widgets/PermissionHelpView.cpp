#include "ui/shared/widgets/PermissionHelpView.h"

#include "ui/shared/Theme.h"
#include "ui/shared/widgets/SymbolLabel.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor {

namespace {

using Style = Theme::TextStyle;

QLabel* label(const QString& text, const QFont& font, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

// A section's title.
QLabel* sectionHeader(const QString& title, QWidget* parent)
{
    return label(title, Theme::font(Style::headline), Theme::textPrimary(), parent);
}

// A section's status and its numbered steps.
QWidget* stepList(const QStringList& steps, SymbolLabel*& status, const QString& statusName, QWidget* parent)
{
    auto* list = new QWidget(parent);
    auto* layout = new QVBoxLayout(list);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    status = new SymbolLabel({}, {}, {}, list);
    status->setObjectName(statusName);
    layout->addWidget(status, 0, Qt::AlignLeft);
    for (qsizetype index = 0; index < steps.size(); ++index) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* number = label(QStringLiteral("%1.").arg(index + 1), Theme::boldFont(Style::caption),
                             Theme::secondaryText(), list);
        number->setFixedWidth(18);
        number->setAlignment(Qt::AlignRight | Qt::AlignTop);
        auto* text = label(steps[index], Theme::font(Style::callout), Theme::textPrimary(), list);
        text->setWordWrap(true);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row->addWidget(number, 0, Qt::AlignTop);
        row->addWidget(text, 1, Qt::AlignTop);
        layout->addLayout(row);
    }
    return list;
}

} // namespace

PermissionHelpView::PermissionHelpView(ShortcutExecutor& executor, std::function<void()> onClose, QWidget* parent)
    : QWidget(parent), controller_(std::make_unique<PermissionHelpController>(executor, std::move(onClose)))
{
    setWindowTitle(QStringLiteral("Permissions Help"));
    setMinimumSize(520, 360);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->addWidget(label(QStringLiteral("Permissions Help"), Theme::boldFont(Style::title2), Theme::textPrimary(), this));
    header->addStretch();
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    header->addWidget(close);
    layout->addLayout(header);
    layout->addSpacing(4);

    layout->addWidget(sectionHeader(QStringLiteral("Accessibility (Allow to control your computer)"), this));
    layout->addWidget(stepList(PermissionHelpController::accessibilitySteps(), accessibilityStatus_,
                               QStringLiteral("accessibilityStatus"), this));
    layout->addWidget(sectionHeader(QStringLiteral("Input Monitoring"), this));
    layout->addWidget(stepList(PermissionHelpController::inputMonitoringSteps(), inputMonitoringStatus_,
                               QStringLiteral("inputMonitoringStatus"), this));
    auto* tip = label(QStringLiteral("Tip: If Velmor still cannot receive button events after enabling both, quit "
                                     "and relaunch Velmor."),
                      Theme::font(Style::caption), Theme::secondaryText(), this);
    tip->setWordWrap(true);
    layout->addWidget(tip);
    layout->addStretch();

    auto* bottom = new QHBoxLayout;
    auto* open = new QPushButton(QStringLiteral("Open Permissions Settings"), this);
    open->setObjectName(QStringLiteral("openSettings"));
    open->setAutoDefault(false);
    makeProminent(*open);
    bottom->addWidget(open);
    bottom->addStretch();
    overallStatus_ = new SymbolLabel({}, {}, {}, this);
    overallStatus_->setObjectName(QStringLiteral("overallStatus"));
    bottom->addWidget(overallStatus_);
    layout->addLayout(bottom);

    connect(close, &QPushButton::clicked, this, [this] { controller_->close(); });
    connect(open, &QPushButton::clicked, this, [this] { controller_->openPermissionsSettings(); });
    subscription_ = controller_->state().subscribe([this](const PermissionHelpController::State& state) { render(state); });
}

PermissionHelpView::~PermissionHelpView() = default;

void PermissionHelpView::render(const PermissionHelpController::State& state)
{
    const auto show = [](SymbolLabel* label, const PermissionHelpController::Status& status) {
        label->set(status.symbol, status.text, status.colour);
    };
    show(accessibilityStatus_, PermissionHelpController::stepStatus(state.accessibilityGranted));
    show(inputMonitoringStatus_, PermissionHelpController::stepStatus(state.inputMonitoringGranted));
    show(overallStatus_, PermissionHelpController::overallStatus(state));
}

} // namespace velmor
