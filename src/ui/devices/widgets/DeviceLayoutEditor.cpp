#include "ui/devices/widgets/DeviceLayoutEditor.h"

#include "platform/Text.h"
#include "ui/devices/widgets/LayoutCanvasView.h"
#include "ui/devices/widgets/LayoutPresetCard.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/Switch.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/NameLabel.h"
#include "ui/shared/widgets/NiceButton.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace velmor {

namespace {
// Sliders run in thousandths of the canvas.
constexpr int sliderScale = 1000;

// `name`: the text is a name, cut with "…" to the room the label gets (NameLabel).
QLabel* label(const QString& text, const QFont& font, const QColor& colour, QWidget* parent, bool name = false)
{
    QLabel* result = name ? new NameLabel(text, parent) : new QLabel(text, parent);
    result->setTextFormat(Qt::PlainText); // device and button names come from the device or a file
    result->setFont(font);
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, colour);
    result->setPalette(palette);
    return result;
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color: rgba(255,255,255,40);"));
    return line;
}

QSlider* sizeSlider(const QString& name, QWidget* parent)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setRange(static_cast<int>(std::lround(SizeFormatter::minimum * sliderScale)),
                     static_cast<int>(std::lround(SizeFormatter::maximum * sliderScale)));
    return slider;
}

void showValue(QSlider* slider, QLineEdit* field, const SizeFormatter& formatter, double value, bool newSelection)
{
    const QSignalBlocker blockSlider(slider);
    slider->setValue(static_cast<int>(std::lround(value * sliderScale)));
    // Leave a half-typed entry alone unless another button is now shown.
    if (newSelection || !field->hasFocus() || !field->isModified()) {
        const QSignalBlocker blockField(field);
        field->setText(formatter.format(value));
        field->setModified(false);
    }
}

} // namespace

DeviceLayoutEditor::DeviceLayoutEditor(const Device& device, AppModel& model, QWidget* parent)
    : QWidget(parent), controller_(std::make_unique<LayoutEditorController>(device, model))
{
    setObjectName(QStringLiteral("deviceLayoutEditor"));
    setMinimumSize(1100, 600);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 16, 16, 16);
    root->setSpacing(16);
    root->addWidget(makeHeader());
    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    canvas_ = new LayoutCanvasView(*controller_, this);
    body->addWidget(canvas_, 1);
    body->addWidget(makeInspector());
    root->addLayout(body, 1);

    subscription_ = controller_->state().subscribe([this](const LayoutEditorController::State& state) { render(state); });
}

DeviceLayoutEditor::~DeviceLayoutEditor() = default;

QWidget* DeviceLayoutEditor::makeHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(label(tr("Layout Editor"), Theme::boldFont(Theme::TextStyle::title2), Qt::white, header));
    titles->addWidget(label(text::displayName(controller_->device().name), Theme::font(Theme::TextStyle::caption),
                            Theme::secondaryText(), header, true));
    row->addLayout(titles);
    row->addStretch(1);

    snap_ = new Switch(tr("Snap"), header);
    snap_->setObjectName(QStringLiteral("snapToggle"));
    connect(snap_, &QAbstractButton::toggled, this, [this](bool on) { controller_->setSnapEnabled(on); });
    row->addWidget(snap_);

    // The stepper shows its own label: "Grid 4%".
    stepper_ = new QSpinBox(header);
    stepper_->setObjectName(QStringLiteral("snapStepper"));
    stepper_->setRange(LayoutEditorController::minimumSnapPercent, LayoutEditorController::maximumSnapPercent);
    stepper_->setPrefix(tr("Grid "));
    stepper_->setSuffix(QStringLiteral("%"));
    stepper_->setFixedWidth(150);
    connect(stepper_, &QSpinBox::valueChanged, this, [this](int percent) { controller_->setSnapPercent(percent); });
    row->addWidget(stepper_);

    reset_ = new NiceButton(tr("Reset Layout"), NiceButtonStyle{Theme::surface()}, header);
    reset_->setObjectName(QStringLiteral("resetLayoutButton"));
    connect(reset_, &QPushButton::clicked, this, [this] { controller_->resetLayout(); });
    row->addWidget(reset_);

    done_ = new NiceButton(tr("Done"), NiceButtonStyle{Theme::accentCyan()}, header);
    done_->setObjectName(QStringLiteral("doneButton"));
    connect(done_, &QPushButton::clicked, this, [this] { controller_->done(); });
    row->addWidget(done_);
    return header;
}

QWidget* DeviceLayoutEditor::makeInspector()
{
    auto* glass = new GlassCard(14, this);
    glass->setFixedWidth(280);
    auto* card = new QWidget;
    glass->setContent(card);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    const QColor gray = Theme::secondaryText();
    column->addWidget(label(tr("Selection"), Theme::font(Theme::TextStyle::headline), Qt::white, card));
    placeholder_ = label(tr("Select a button to edit."), Theme::font(Theme::TextStyle::caption), gray, card);
    placeholder_->setObjectName(QStringLiteral("selectionPlaceholder"));
    column->addWidget(placeholder_);

    selectionPanel_ = new QWidget(card);
    auto* panel = new QVBoxLayout(selectionPanel_);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->setSpacing(12);
    selectedLabel_ = label({}, Theme::boldFont(Theme::TextStyle::title3), Qt::white, selectionPanel_, true);
    selectedLabel_->setObjectName(QStringLiteral("selectedLabel"));
    selectedId_ = label({}, Theme::font(Theme::TextStyle::caption), gray, selectionPanel_);
    panel->addWidget(selectedLabel_);
    panel->addWidget(selectedId_);
    panel->addWidget(divider(selectionPanel_));

    auto* sizes = new QVBoxLayout;
    sizes->setSpacing(10);
    sizes->addWidget(label(tr("Size"), Theme::boldFont(Theme::TextStyle::caption), gray, selectionPanel_));
    const auto addSize = [&](const QString& letter, bool width) {
        QSlider* slider = sizeSlider(width ? QStringLiteral("widthSlider") : QStringLiteral("heightSlider"),
                                     selectionPanel_);
        auto* field = new QLineEdit(selectionPanel_);
        field->setObjectName(width ? QStringLiteral("widthField") : QStringLiteral("heightField"));
        field->setFixedWidth(80);
        connect(slider, &QSlider::valueChanged, this, [this, width](int value) {
            if (const auto& id = controller_->selectedButtonId()) {
                const double size = static_cast<double>(value) / sliderScale;
                width ? controller_->setWidth(size, *id) : controller_->setHeight(size, *id);
            }
        });
        connect(field, &QLineEdit::editingFinished, this, [this, field, width] { commitField(field, width); });
        sizes->addWidget(slider);
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        row->addWidget(label(letter, Theme::font(Theme::TextStyle::caption2), gray, selectionPanel_));
        row->addWidget(field);
        row->addStretch(1);
        sizes->addLayout(row);
        (width ? widthSlider_ : heightSlider_) = slider;
        (width ? widthField_ : heightField_) = field;
    };
    addSize(QStringLiteral("W"), true);
    addSize(QStringLiteral("H"), false);
    sizes->addWidget(divider(selectionPanel_));
    sizes->addWidget(label(tr("Presets"), Theme::boldFont(Theme::TextStyle::caption), gray, selectionPanel_));

    auto* scroll = new QScrollArea(selectionPanel_);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setMaximumHeight(240);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* grid = new QWidget(scroll);
    auto* gridLayout = new QGridLayout(grid);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSpacing(10);
    const QList<LayoutSizePreset>& presets = LayoutSizePreset::builtIn();
    for (qsizetype index = 0; index < presets.size(); ++index) {
        auto* cardButton = new LayoutPresetCard(presets[index], grid);
        connect(cardButton, &QAbstractButton::clicked, this, [this, preset = presets[index]] {
            if (const auto& id = controller_->selectedButtonId())
                controller_->applyPreset(preset, *id);
        });
        gridLayout->addWidget(cardButton, static_cast<int>(index / 2), static_cast<int>(index % 2));
        presetCards_.append(cardButton);
    }
    scroll->setWidget(grid);
    sizes->addWidget(scroll);
    panel->addLayout(sizes);
    column->addWidget(selectionPanel_);
    column->addStretch(1);
    return glass;
}

void DeviceLayoutEditor::commitField(QLineEdit* field, bool width)
{
    const auto& id = controller_->selectedButtonId();
    const std::optional<double> value = formatter_.parse(field->text());
    field->setModified(false);
    if (id && value)
        width ? controller_->setWidth(*value, *id) : controller_->setHeight(*value, *id);
    else
        render(controller_->state().get()); // a rejected entry shows the current size again
}

void DeviceLayoutEditor::render(const LayoutEditorController::State& state)
{
    {
        const QSignalBlocker blockSnap(snap_);
        const QSignalBlocker blockStepper(stepper_);
        snap_->setChecked(state.snapEnabled);
        stepper_->setValue(state.snapPercent);
    }
    canvas_->render(state);

    placeholder_->setVisible(!state.selection);
    selectionPanel_->setVisible(state.selection.has_value());
    if (!state.selection) {
        shownSelection_.reset();
        return;
    }
    const LayoutEditorController::Selection& selection = *state.selection;
    const bool newSelection = shownSelection_ != selection.id;
    shownSelection_ = selection.id;
    selectedLabel_->setText(text::shownName(selection.displayLabel));
    selectedId_->setText(selection.id);
    showValue(widthSlider_, widthField_, formatter_, selection.rect.width, newSelection);
    showValue(heightSlider_, heightField_, formatter_, selection.rect.height, newSelection);
    for (qsizetype index = 0; index < presetCards_.size(); ++index)
        presetCards_[index]->setActive(selection.activePresets.value(index));
}

} // namespace velmor
