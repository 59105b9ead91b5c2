#include "ui/admin/widgets/ToolInspector.h"

#include "ui/admin/widgets/AdminStyle.h"
#include "ui/admin/widgets/RepeatSpeedSlider.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/NiceButton.h"
#include "ui/shared/widgets/Switch.h"
#include "ui/shared/widgets/ThemeStyle.h"
#include "ui/admin/widgets/ShortcutRecorder.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/ToolIconView.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>


namespace velmor {


namespace {

QWidget* caption(const QString& text, QWidget* parent)
{
    return admin::label(text, Theme::TextStyle::caption, Theme::gray(), true, parent);
}

QVBoxLayout* section(QVBoxLayout* parent, const QString& title, QWidget* owner)
{
    auto* box = new QVBoxLayout;
    box->setSpacing(8);
    if (!title.isEmpty())
        box->addWidget(caption(title, owner));
    parent->addLayout(box);
    return box;
}

QPushButton* bordered(const QString& symbol, const QString& text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(SymbolIcons::instance().icon(symbol, Qt::white), text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

ToolInspector::ToolInspector(AdminController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller), picker_(*this)
{
    pages_ = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);

    auto* placeholder = new QWidget(pages_);
    placeholder->setObjectName(QStringLiteral("inspectorPlaceholder"));
    auto* centre = new QVBoxLayout(placeholder);
    centre->addStretch(1);
    centre->setSpacing(8);
    centre->addWidget(admin::label(tr("Select a tool"), Theme::TextStyle::headline, Qt::white, true, placeholder), 0,
                      Qt::AlignHCenter);
    centre->addWidget(admin::label(tr("Choose a tool from the list to edit its settings."), Theme::TextStyle::caption,
                                   Theme::gray(), false, placeholder),
                      0, Qt::AlignHCenter);
    centre->addStretch(1);
    pages_->addWidget(placeholder);

    auto* scroll = new QScrollArea(pages_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setWidget(buildEditor());
    scroll->widget()->setAutoFillBackground(false); // setWidget() turns it on
    pages_->addWidget(scroll);
}

ToolInspector::~ToolInspector() = default;

QWidget* ToolInspector::buildEditor()
{
    auto* editor = new QWidget;
    editor->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(editor);
    column->setContentsMargins(0, 0, 8, 0);
    column->setSpacing(16);

    // Header
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    icon_ = new ToolIconView(ToolIconSelection{}, std::nullopt, 42, editor);
    icon_->setColor(Qt::white);
    header->addWidget(icon_);
    auto* nameColumn = new QVBoxLayout;
    nameColumn->setSpacing(6);
    name_ = new QLineEdit(editor);
    name_->setObjectName(QStringLiteral("toolName"));
    name_->setPlaceholderText(tr("Tool name"));
    name_->setFont(Theme::boldFont(Theme::TextStyle::title2));
    name_->setFrame(false);
    name_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; color: white; }"));
    nameColumn->addWidget(name_);
    auto* changeIcon = bordered(QStringLiteral("photo"), tr("Change icon"), "changeIcon", editor);
    changeIcon->setFont(Theme::font(Theme::TextStyle::caption));
    changeIcon->setToolTip(tr("Browse SF Symbols or custom icons"));
    nameColumn->addWidget(changeIcon, 0, Qt::AlignLeft);
    header->addLayout(nameColumn, 1);
    column->addLayout(header);

    auto* divider = new QFrame(editor);
    divider->setFrameShape(QFrame::HLine);
    divider->setStyleSheet(QStringLiteral("color: rgba(255,255,255,40)"));
    column->addWidget(divider);

    // Enabled
    QVBoxLayout* enabledBox = section(column, tr("Enabled"), editor);
    auto* enabledRow = new QHBoxLayout;
    enabledRow->addWidget(admin::label(tr("Enabled"), Theme::TextStyle::body, Qt::white, false, editor));
    enabledRow->addStretch(1);
    enabled_ = new Switch(editor);
    enabled_->setObjectName(QStringLiteral("toolEnabled"));
    enabledRow->addWidget(enabled_);
    enabledBox->addLayout(enabledRow);

    // Context
    QVBoxLayout* contextBox = section(column, tr("Context"), editor);
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    categories_ = new QButtonGroup(editor);
    for (const ToolCategory category : allToolCategories) {
        auto* segment = admin::segment(toText(category), QStringLiteral("category_") + toText(category), editor);
        categories_->addButton(segment, int(category));
        segments->addWidget(segment, 1);
    }
    contextBox->addLayout(segments);

    // Shortcut
    QVBoxLayout* shortcutBox = section(column, tr("Shortcut"), editor);
    toggleForm_ = new QWidget(editor);
    auto* toggleRow = new QHBoxLayout(toggleForm_);
    toggleRow->setContentsMargins(0, 0, 0, 0);
    steps_ = static_cast<QLabel*>(admin::label({}, Theme::TextStyle::caption, Theme::gray(), false, toggleForm_));
    steps_->setObjectName(QStringLiteral("toggleSteps"));
    toggleRow->addWidget(steps_);
    toggleRow->addStretch(1);
    auto* editToggle = bordered(QStringLiteral("slider.horizontal.3"), tr("Edit Toggle"), "editToggle", toggleForm_);
    toggleRow->addWidget(editToggle);
    shortcutBox->addWidget(toggleForm_);
    shortcutForm_ = new QWidget(editor);
    auto* shortcutColumn = new QVBoxLayout(shortcutForm_);
    shortcutColumn->setContentsMargins(0, 0, 0, 0);
    shortcutColumn->setSpacing(8);
    recorder_ = new ShortcutRecorder(Binding<std::optional<KeyboardShortcut>>(
                                         [this] { return controller_.selectedShortcut(); },
                                         [this](const std::optional<KeyboardShortcut>& shortcut) {
                                             controller_.setShortcut(shortcut);
                                         }),
                                     shortcutForm_);
    recorder_->setMaximumWidth(220);
    shortcutColumn->addWidget(recorder_);
    auto* clearShortcut = new PaddedButton(tr("Clear Shortcut"), shortcutForm_);
    clearShortcut->setObjectName(QStringLiteral("clearToolShortcut"));
    shortcutColumn->addWidget(clearShortcut, 0, Qt::AlignLeft);
    shortcutBox->addWidget(shortcutForm_);

    // Advanced
    auto* advancedBox = section(column, {}, editor);
    auto* advanced = new QToolButton(editor);
    advanced->setObjectName(QStringLiteral("advancedToggle"));
    advanced->setText(tr("Advanced"));
    advanced->setCheckable(true);
    advanced->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    advanced->setAutoRaise(true);
    advanced->setFont(Theme::boldFont(Theme::TextStyle::caption));
    advanced_ = advanced;
    advancedBox->addWidget(advanced_, 0, Qt::AlignLeft);
    advancedBox_ = new QWidget(editor);
    auto* advancedColumn = new QVBoxLayout(advancedBox_);
    advancedColumn->setContentsMargins(0, 6, 0, 0);
    advancedColumn->setSpacing(8);
    auto* repeatRow = new QHBoxLayout;
    repeatRow->addWidget(admin::label(tr("Repeat on hold"), Theme::TextStyle::body, Qt::white, false, advancedBox_));
    repeatRow->addStretch(1);
    repeat_ = new Switch(advancedBox_);
    repeat_->setObjectName(QStringLiteral("repeatOnHold"));
    repeatRow->addWidget(repeat_);
    advancedColumn->addLayout(repeatRow);
    speedRow_ = new RepeatSpeedSlider(QStringLiteral("repeatSpeed"), Theme::gray(), advancedBox_);
    advancedColumn->addWidget(speedRow_);
    advancedBox->addWidget(advancedBox_);

    column->addSpacing(12);
    QVBoxLayout* notesBox = section(column, tr("Notes"), editor);
    note_ = static_cast<QLabel*>(admin::label({}, Theme::TextStyle::caption2, Theme::gray(), false, editor));
    notesBox->addWidget(note_);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    auto* duplicate = new NiceButton(QStringLiteral("square.on.square"), tr("Duplicate"), {Theme::surface()}, editor);
    duplicate->setObjectName(QStringLiteral("inspectorDuplicate"));
    auto* remove = new NiceButton(QStringLiteral("trash"), tr("Delete"),
                                  {Theme::withOpacity(Theme::accentRed(), 0.8)}, editor);
    remove->setObjectName(QStringLiteral("inspectorDelete"));
    buttons->addWidget(duplicate);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    column->addLayout(buttons);
    column->addStretch(1);

    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) { controller_.setName(text); });
    connect(changeIcon, &QPushButton::clicked, this, [this] { openIconPicker(); });
    connect(enabled_, &QAbstractButton::toggled, this, [this](bool on) { controller_.setEnabled(on); });
    connect(categories_, &QButtonGroup::idClicked, this,
            [this](int id) { controller_.setCategory(static_cast<ToolCategory>(id)); });
    connect(editToggle, &QPushButton::clicked, this, [this] { controller_.editToggle(); });
    connect(clearShortcut, &QPushButton::clicked, this, [this] { controller_.setShortcut(std::nullopt); });
    connect(advanced, &QToolButton::toggled, this, [this](bool open) { controller_.setAdvancedExpanded(open); });
    connect(repeat_, &QAbstractButton::toggled, this, [this](bool on) { controller_.setRepeatOnHold(on); });
    speedRow_->onChanged = [this](double speed) { controller_.setRepeatSpeed(speed); };
    connect(duplicate, &QPushButton::clicked, this, [this] { controller_.duplicateSelectedTool(); });
    connect(remove, &QPushButton::clicked, this, [this] { controller_.requestDeleteTool(); });
    return editor;
}

void ToolInspector::render(const AdminController::State& state)
{
    if (!state.selectedTool) {
        pages_->setCurrentIndex(0);
        picker_.close();
        return;
    }
    pages_->setCurrentIndex(1);
    const RadiologyTool& tool = *state.selectedTool;
    icon_->setTool(tool);
    if (name_->text() != tool.name) {
        const QSignalBlocker blocker(name_);
        name_->setText(tool.name);
    }
    {
        const QSignalBlocker blocker(enabled_);
        enabled_->setChecked(tool.enabled);
    }
    {
        const QSignalBlocker blocker(categories_);
        categories_->button(int(tool.category))->setChecked(true);
    }
    const bool isToggle = tool.toggleShortcuts.has_value();
    toggleForm_->setVisible(isToggle);
    shortcutForm_->setVisible(!isToggle);
    steps_->setText(tr("%1 steps").arg(isToggle ? tool.toggleShortcuts->size() : 0));
    recorder_->refresh();
    {
        const QSignalBlocker blocker(advanced_);
        advanced_->setChecked(state.advancedExpanded);
    }
    advanced_->setIcon(SymbolIcons::instance().icon(
        state.advancedExpanded ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right"), Theme::gray()));
    advancedBox_->setVisible(state.advancedExpanded);
    {
        const QSignalBlocker blocker(repeat_);
        repeat_->setChecked(tool.repeatOnHoldEnabled);
    }
    speedRow_->setVisible(tool.repeatOnHoldEnabled);
    speedRow_->setSpeed(tool.repeatSpeed);
    note_->setText(isToggle ? tr("Toggle tools cycle through shortcuts on each press.")
                            : tr("Use the shortcut field to assign a hotkey."));
}

QWidget* ToolInspector::iconPicker() const { return picker_.picker(); }

void ToolInspector::openIconPicker()
{
    if (const auto selection = controller_.selectedIconSelection())
        picker_.open(*selection, [this](const ToolIconSelection& chosen) { controller_.applyIconSelection(chosen); });
}

} // namespace velmor
