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

// A section's title, in the headline font.
class SectionHeader final : public QLabel {
public:
    SectionHeader(const QString& title, QWidget* parent) : QLabel(title, parent)
    {
        setTextFormat(Qt::PlainText);
        setFont(Theme::font(Style::headline));
        QPalette colours = palette();
        colours.setColor(QPalette::WindowText, Theme::textPrimary());
        setPalette(colours);
    }
};

// A section's status, then its steps numbered from 1 in a right-aligned box 18 wide.
class StepList final : public QWidget {
public:
    StepList(const QStringList& steps, const QString& statusName, QWidget* parent) : QWidget(parent)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        status_ = new SymbolLabel({}, {}, {}, this);
        status_->setObjectName(statusName);
        layout->addWidget(status_, 0, Qt::AlignLeft);
        for (qsizetype index = 0; index < steps.size(); ++index) {
            auto* row = new QHBoxLayout;
            row->setSpacing(8);
            auto* number = label(QStringLiteral("%1.").arg(index + 1), Theme::boldFont(Style::caption),
                                 Theme::secondaryText(), this);
            number->setFixedWidth(18);
            number->setAlignment(Qt::AlignRight | Qt::AlignTop);
            auto* text = label(steps[index], Theme::font(Style::callout), Theme::textPrimary(), this);
            text->setWordWrap(true);
            text->setTextInteractionFlags(Qt::TextSelectableByMouse);
            row->addWidget(number, 0, Qt::AlignTop);
            row->addWidget(text, 1, Qt::AlignTop);
            layout->addLayout(row);
        }
    }

    SymbolLabel* status() const { return status_; }

private:
    SymbolLabel* status_ = nullptr;
};

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

    layout->addWidget(new SectionHeader(QStringLiteral("Accessibility (Allow to control your computer)"), this));
    auto* accessibility =
        new StepList(PermissionHelpController::accessibilitySteps(), QStringLiteral("accessibilityStatus"), this);
    accessibilityStatus_ = accessibility->status();
    layout->addWidget(accessibility);
    layout->addWidget(new SectionHeader(QStringLiteral("Input Monitoring"), this));
    auto* inputMonitoring =
        new StepList(PermissionHelpController::inputMonitoringSteps(), QStringLiteral("inputMonitoringStatus"), this);
    inputMonitoringStatus_ = inputMonitoring->status();
    layout->addWidget(inputMonitoring);
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
