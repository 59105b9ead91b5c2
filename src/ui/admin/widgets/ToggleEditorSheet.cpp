#include "ui/admin/widgets/ToggleEditorSheet.h"

#include "ui/admin/widgets/AdminStyle.h"
#include "ui/admin/widgets/RepeatSpeedSlider.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/NameLabel.h"
#include "ui/shared/widgets/SheetHost.h"
#include "ui/shared/widgets/Switch.h"
#include "ui/shared/widgets/ThemeStyle.h"
#include "ui/admin/widgets/ShortcutRecorder.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/ToolIconView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>


namespace velmor {


ToggleEditorSheet::ToggleEditorSheet(std::shared_ptr<ToggleEditorController> controller, QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)), picker_(*this)
{
    setMinimumSize(420, 440);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(12);

    auto* header = new QHBoxLayout;
    title_ = static_cast<QLabel*>(admin::label({}, Theme::TextStyle::headline, Qt::white, true, this));
    header->addWidget(title_);
    header->addStretch(1);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelToggle"));
    auto* save = new QPushButton(tr("Save"), this);
    save->setObjectName(QStringLiteral("saveToggle"));
    makeProminent(*save);
    SheetHost::markConfirm(*save);
    header->addWidget(cancel);
    header->addWidget(save);
    column->addLayout(header);

    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("toggleName"));
    name_->setPlaceholderText(tr("Name"));
    column->addWidget(name_);

    auto* iconRow = new QHBoxLayout;
    iconRow->setSpacing(10);
    icon_ = new ToolIconView(ToolIconSelection{}, ToggleEditorController::defaultSymbol, 22, this);
    icon_->setColor(Qt::white);
    iconRow->addWidget(icon_);
    symbol_ = new QLineEdit(this);
    symbol_->setObjectName(QStringLiteral("toggleSymbol"));
    symbol_->setPlaceholderText(tr("SF Symbol"));
    iconRow->addWidget(symbol_, 1);
    customLabel_ = new NameLabel({}, this); // an icon's name, from whoever made it
    customLabel_->setObjectName(QStringLiteral("toggleCustomIcon"));
    customLabel_->setFont(Theme::monospacedFont(Theme::TextStyle::caption));
    customLabel_->setStyleSheet(QStringLiteral(
        "QLabel { color: rgba(255,255,255,140); background: rgba(152,152,157,31); border-radius: 8px; padding: 6px 8px; }"));
    iconRow->addWidget(customLabel_, 1);
    auto* browse = new QPushButton(tr("Browse Icons..."), this);
    browse->setObjectName(QStringLiteral("browseToggleIcons"));
    browse->setToolTip(tr("Browse SF Symbols or custom icons"));
    iconRow->addWidget(browse);
    column->addLayout(iconRow);

    column->addWidget(admin::label(tr("Steps"), Theme::TextStyle::subheadline, Theme::gray(), false, this));
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    stepsBox_ = new QWidget(scroll);
    stepsBox_->setAutoFillBackground(false);
    stepsLayout_ = new QVBoxLayout(stepsBox_);
    stepsLayout_->setContentsMargins(0, 0, 0, 0);
    stepsLayout_->setSpacing(8);
    auto* addStep = new QPushButton(SymbolIcons::instance().icon(QStringLiteral("plus"), Qt::white), tr("Add Step"), stepsBox_);
    addStep->setObjectName(QStringLiteral("addStep"));
    stepsLayout_->addWidget(addStep, 0, Qt::AlignLeft);
    stepsLayout_->addStretch(1);
    scroll->setWidget(stepsBox_);
    stepsBox_->setAutoFillBackground(false); // setWidget() turns it on
    scroll->viewport()->setAutoFillBackground(false);
    column->addWidget(scroll, 1);

    auto* repeatBox = new QVBoxLayout;
    repeatBox->setSpacing(8);
    repeatBox->addWidget(admin::label(tr("Repeat"), Theme::TextStyle::caption, Theme::secondaryText(), true, this));
    auto* repeatRow = new QHBoxLayout;
    repeat_ = new Switch(this);
    repeat_->setObjectName(QStringLiteral("toggleRepeatOnHold"));
    repeatRow->addWidget(admin::label(tr("Repeat on hold"), Theme::TextStyle::body, Qt::white, false, this));
    repeatRow->addStretch(1);
    repeatRow->addWidget(repeat_);
    repeatBox->addLayout(repeatRow);
    speedRow_ = new RepeatSpeedSlider(QStringLiteral("toggleRepeatSpeed"), Theme::secondaryText(), this);
    repeatBox->addWidget(speedRow_);
    column->addLayout(repeatBox);

    connect(cancel, &QPushButton::clicked, this, [this] { controller_->cancel(); });
    connect(save, &QPushButton::clicked, this, [this] { controller_->save(); });
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) { controller_->setName(text); });
    connect(symbol_, &QLineEdit::textEdited, this, [this](const QString& text) { controller_->setSystemIcon(text); });
    connect(browse, &QPushButton::clicked, this, [this] { openIconPicker(); });
    connect(addStep, &QPushButton::clicked, this, [this] { controller_->addStep(); });
    connect(repeat_, &QAbstractButton::toggled, this, [this](bool on) { controller_->setRepeatOnHoldEnabled(on); });
    speedRow_->onChanged = [this](double speed) { controller_->setRepeatSpeed(speed); };

    subscription_ = controller_->state().subscribe([this](const ToggleEditorController::State& state) { render(state); });
}

ToggleEditorSheet::~ToggleEditorSheet() = default;

QWidget* ToggleEditorSheet::iconPicker() const { return picker_.picker(); }

void ToggleEditorSheet::render(const ToggleEditorController::State& state)
{
    title_->setText(state.title);
    if (name_->text() != state.name) {
        const QSignalBlocker blocker(name_);
        name_->setText(state.name);
    }
    icon_->setSelection(state.currentSelection, ToggleEditorController::defaultSymbol);
    const bool custom = state.iconSource == ToolIconSource::custom;
    symbol_->setVisible(!custom);
    customLabel_->setVisible(custom);
    if (symbol_->text() != state.systemIcon) {
        const QSignalBlocker blocker(symbol_);
        symbol_->setText(state.systemIcon);
    }
    customLabel_->setText(state.customIconLabel);
    if (recorders_.size() != state.steps.size())
        rebuildSteps(state.steps.size());
    for (ShortcutRecorder* recorder : recorders_)
        recorder->refresh();
    {
        const QSignalBlocker blocker(repeat_);
        repeat_->setChecked(state.repeatOnHoldEnabled);
    }
    speedRow_->setVisible(state.repeatOnHoldEnabled);
    speedRow_->setSpeed(state.repeatSpeed);
}

void ToggleEditorSheet::rebuildSteps(qsizetype count)
{
    for (ShortcutRecorder* recorder : std::exchange(recorders_, {})) {
        QWidget* row = recorder->parentWidget();
        row->hide();
        stepsLayout_->removeWidget(row);
        row->deleteLater();
    }
    for (qsizetype index = 0; index < count; ++index) {
        auto* row = new QWidget(stepsBox_);
        row->setObjectName(QStringLiteral("step_%1").arg(index));
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(8);
        auto* recorder = new ShortcutRecorder(controller_->stepBinding(index), row);
        recorder->setMaximumWidth(200);
        layout->addWidget(recorder);
        auto* remove = new QPushButton(SymbolIcons::instance().icon(QStringLiteral("trash"), Theme::red()), {}, row);
        remove->setObjectName(QStringLiteral("removeStep"));
        remove->setFlat(true);
        remove->setAccessibleName(tr("Remove step"));
        layout->addWidget(remove);
        layout->addStretch(1);
        // The row is queued for deletion when it goes, so this callback outlives no removal.
        connect(remove, &QPushButton::clicked, this, [this, index] { controller_->removeStep(index); });
        stepsLayout_->insertWidget(int(index), row);
        recorders_.append(recorder);
    }
}

void ToggleEditorSheet::openIconPicker()
{
    picker_.open(controller_->state().get().currentSelection,
                 [this](const ToolIconSelection& selection) { controller_->applyIconSelection(selection); });
}

} // namespace velmor
