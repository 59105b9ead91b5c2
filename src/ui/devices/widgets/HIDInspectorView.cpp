#include "ui/devices/widgets/HIDInspectorView.h"

#include "platform/Text.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/ElidingComboBox.h"
#include "ui/shared/widgets/MenuRoom.h"
#include "ui/shared/widgets/NameLabel.h"
#include "ui/shared/widgets/Switch.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QComboBox>
#include <QFontMetricsF>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace velmor {

namespace {

// `name`: the text is a name, cut with "…" to the room the label gets (NameLabel).
QLabel* label(const QString& text, const QFont& font, const QColor& colour, QWidget* parent, bool name = false)
{
    QLabel* result = name ? new NameLabel(text, parent) : new QLabel(text, parent);
    result->setTextFormat(Qt::PlainText); // device and button names come from the device or a file
    result->setFont(font);
    result->setForegroundRole(QPalette::WindowText); // in an item view it would take the view's Text role
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, colour);
    result->setPalette(palette);
    return result;
}

QFont headline() { return Theme::font(Theme::TextStyle::headline); }
QFont caption() { return Theme::font(Theme::TextStyle::caption); }
QFont caption2() { return Theme::font(Theme::TextStyle::caption2); }

// One event row: usage over value on the left, time of day on the right.
class EventDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {200, QFontMetrics(caption()).height() + QFontMetrics(caption2()).height() + 10};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

        const QRect area = option.rect.adjusted(8, 4, -8, -4);
        const int line = QFontMetrics(caption()).height();
        const bool selected = option.state & QStyle::State_Selected;
        const QColor secondary = selected ? QColor(Qt::white) : Theme::secondaryText();
        painter->save();
        painter->setFont(caption());
        painter->setPen(selected ? QColor(Qt::white) : option.palette.color(QPalette::Text));
        // A usage's name (the user's, or the device's) is cut short of the time.
        const QString time = index.data(HIDSampleListModel::TimeRole).toString();
        const int room = std::max(0, area.width() - QFontMetrics(caption2()).horizontalAdvance(time) - 8);
        painter->drawText(QRect(area.left(), area.top(), room, line), Qt::AlignLeft | Qt::AlignVCenter,
                          plainText::paintedName(index.data(HIDSampleListModel::UsageRole).toString(),
                                                 QFontMetricsF(caption()), room));
        painter->setPen(secondary);
        painter->setFont(caption2());
        painter->drawText(QRect(area.left(), area.top() + line + 2, room, line), Qt::AlignLeft | Qt::AlignVCenter,
                          plainText::paintedName(index.data(HIDSampleListModel::ValueRole).toString(),
                                                 QFontMetricsF(caption2()), room));
        painter->drawText(area, Qt::AlignRight | Qt::AlignVCenter, time);
        painter->restore();
    }
};

// One device row: name (and "ignored" in red) over the vendor and product ids.
QWidget* deviceRow(const ConnectedDeviceInfo& device, QWidget* parent)
{
    auto* row = new QWidget(parent);
    row->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* column = new QVBoxLayout(row);
    column->setContentsMargins(6, 3, 6, 3);
    column->setSpacing(1);
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    line->addWidget(label(text::shownName(hidtext::deviceName(device)), Theme::font(Theme::TextStyle::body),
                          Theme::textPrimary(), row, true));
    if (device.ignored)
        line->addWidget(label(QObject::tr("ignored"), caption2(), Theme::red(), row));
    line->addStretch(1);
    column->addLayout(line);
    column->addWidget(label(hidtext::deviceIds(device), caption(), Theme::secondaryText(), row));
    return row;
}

QString ignoreTitle(const ConnectedDeviceInfo& device)
{
    return device.ignored ? QObject::tr("Unignore") : QObject::tr("Ignore");
}

} // namespace

HIDInspectorView::HIDInspectorView(AppModel& model, QWidget* parent) : QWidget(parent), controller_(model)
{
    setObjectName(QStringLiteral("hidInspector"));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 16, 16, 16);
    root->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->addWidget(label(tr("HID Inspector"), Theme::boldFont(Theme::TextStyle::title3), Theme::textPrimary(), this));
    header->addStretch(1);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QPushButton::clicked, this, [this] {
        if (onClose)
            onClose();
    });
    header->addWidget(close);
    root->addLayout(header);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(12);
    columns->addWidget(makeDevicesColumn(), 0, Qt::AlignTop);
    columns->addWidget(makeEventsColumn(), 1);
    root->addLayout(columns, 1);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color: rgba(255,255,255,40);"));
    root->addWidget(line);
    root->addWidget(makeMappingSection());

    // In a dialog, Return in the label field must not press a button.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);

    // Never smaller than what the rows need (the Ignore button shown), so no
    // control overlaps another.
    setMinimumSize(smallestSize.expandedTo(root->totalMinimumSize()));

    subscription_ = controller_.state().subscribe([this](const HIDInspectorController::State& state) { render(state); });
}

HIDInspectorView::~HIDInspectorView() = default;

QSize HIDInspectorView::sizeHint() const
{
    QSize size = openingSize;
    if (const QScreen* shown = screen())
        size = size.boundedTo(shown->availableSize());
    return size.expandedTo(minimumSize());
}

QWidget* HIDInspectorView::makeDevicesColumn()
{
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(label(tr("Connected Devices"), headline(), Theme::textPrimary(), column));
    deviceList_ = new QListWidget(column);
    deviceList_->setObjectName(QStringLiteral("deviceList"));
    deviceList_->setFixedSize(260, 260);
    deviceList_->setSelectionMode(QAbstractItemView::SingleSelection);
    deviceList_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(deviceList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < shownDevices_.size())
            controller_.selectDevice(shownDevices_[row].id());
    });
    connect(deviceList_, &QWidget::customContextMenuRequested, this, &HIDInspectorView::showDeviceMenu);
    layout->addWidget(deviceList_);
    return column;
}

QWidget* HIDInspectorView::makeEventsColumn()
{
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(label(tr("Recent HID Events"), headline(), Theme::textPrimary(), column));

    onlySelected_ = new Switch(tr("Only show selected device"), column);
    onlySelected_->setObjectName(QStringLiteral("onlySelectedToggle"));
    onlySelected_->setToolTip(tr("Hide events from other devices to reduce noise."));
    connect(onlySelected_, &QAbstractButton::toggled, this, [this](bool on) { controller_.setCaptureOnlySelected(on); });
    layout->addWidget(onlySelected_);

    auto* tools = new QHBoxLayout;
    tools->setSpacing(8);
    auto* clear = new QPushButton(tr("Clear"), column);
    clear->setObjectName(QStringLiteral("clearButton"));
    connect(clear, &QPushButton::clicked, this, [this] { controller_.clearEvents(); });
    auto* copy = new QPushButton(tr("Copy"), column);
    copy->setObjectName(QStringLiteral("copyButton"));
    connect(copy, &QPushButton::clicked, this, [this] { controller_.copyEventLog(); });
    tools->addWidget(clear);
    tools->addWidget(copy);
    tools->addStretch(1);
    tools->addWidget(label(tr("Filter by device"), caption(), Theme::secondaryText(), column));
    picker_ = new ElidingComboBox(column);
    picker_->setObjectName(QStringLiteral("deviceFilter"));
    picker_->setAccessibleName(tr("Device filter"));
    picker_->setFixedWidth(180);
    connect(picker_, &QComboBox::activated, this, [this](int index) {
        controller_.selectDevice(index <= 0 ? std::nullopt : std::optional(shownDevices_.value(index - 1).id()));
    });
    tools->addWidget(picker_);
    ignoreButton_ = new QPushButton(tr("Unignore"), column);
    ignoreButton_->setObjectName(QStringLiteral("ignoreButton"));
    // Room for the longer title, so the window's minimum width holds either.
    ignoreButton_->setMinimumWidth(ignoreButton_->sizeHint().width());
    connect(ignoreButton_, &QPushButton::clicked, this, [this] { controller_.toggleSelectedDeviceIgnore(); });
    tools->addWidget(ignoreButton_);
    layout->addLayout(tools);

    eventList_ = new QListView(column);
    eventList_->setObjectName(QStringLiteral("eventList"));
    eventList_->setMinimumHeight(260);
    eventList_->setUniformItemSizes(true);
    eventList_->setSelectionMode(QAbstractItemView::SingleSelection);
    eventList_->setItemDelegate(new EventDelegate(eventList_));
    eventList_->setModel(&events_);
    connect(eventList_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    controller_.selectEvent(current.data(HIDSampleListModel::IdRole).toUuid());
            });
    layout->addWidget(eventList_, 1);
    return column;
}

QWidget* HIDInspectorView::makeMappingSection()
{
    auto* section = new QWidget(this);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(label(tr("Create Custom Button Mapping"), headline(), Theme::textPrimary(), section));
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    labelField_ = new QLineEdit(section);
    labelField_->setObjectName(QStringLiteral("customLabelField"));
    labelField_->setPlaceholderText(tr("Button ID (e.g., REC, K01)"));
    connect(labelField_, &QLineEdit::textEdited, this, [this](const QString& text) { controller_.setCustomLabel(text); });
    saveButton_ = new PaddedButton(tr("Save Mapping"), section);
    saveButton_->setObjectName(QStringLiteral("saveMappingButton"));
    connect(saveButton_, &QPushButton::clicked, this, [this] { controller_.saveMapping(); });
    row->addWidget(labelField_, 1);
    row->addWidget(saveButton_);
    layout->addLayout(row);
    selectedLine_ = label({}, caption(), Theme::secondaryText(), section);
    selectedLine_->setObjectName(QStringLiteral("selectedEventLine"));
    selectedLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(selectedLine_);
    return section;
}

void HIDInspectorView::keyPressEvent(QKeyEvent* event)
{
    // Escape closes the sheet, as "Close" does (without onClose it goes on to the host).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && onClose) {
        onClose();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HIDInspectorView::showDeviceMenu(const QPoint& at)
{
    const int row = deviceList_->indexAt(at).row();
    if (row < 0 || row >= shownDevices_.size() || !HIDInspectorController::canIgnore(shownDevices_[row]))
        return;
    const QString id = shownDevices_[row].id();
    QMenu menu(this);
    // The entry as the list shows it now.
    menu.addAction(ignoreTitle(shownDevices_[row]), this, [this, id] { controller_.toggleIgnore(id); });
    menu.exec(deviceList_->viewport()->mapToGlobal(at));
}

void HIDInspectorView::renderDevices(const HIDInspectorController::State& state)
{
    const QSignalBlocker blockList(deviceList_);
    const QSignalBlocker blockPicker(picker_);
    if (state.devices != shownDevices_) {
        shownDevices_ = state.devices;
        deviceList_->clear();
        picker_->clear();
        picker_->addItem(tr("All"));
        const MenuRoom room(*picker_);
        for (const ConnectedDeviceInfo& device : shownDevices_) {
            auto* item = new QListWidgetItem(deviceList_);
            QWidget* row = deviceRow(device, deviceList_->viewport());
            // As narrow as the row can be: the list stretches it to its width, and a
            // long name is cut rather than scrolled.
            item->setSizeHint({row->minimumSizeHint().width(), row->sizeHint().height()});
            deviceList_->setItemWidget(item, row);
            // The name is cut, never the mark after it.
            const QString mark = device.ignored ? QStringLiteral(" ") + tr("(ignored)") : QString();
            picker_->addItem(room.fitted(text::shownName(hidtext::deviceName(device)), mark) + mark);
            if (device.ignored)
                picker_->setItemData(picker_->count() - 1, Theme::red(), Qt::ForegroundRole);
        }
    }
    int selectedRow = -1;
    if (state.selectedDevice)
        for (qsizetype row = 0; row < shownDevices_.size(); ++row)
            if (shownDevices_[row].id() == state.selectedDevice->id()) {
                selectedRow = static_cast<int>(row);
                break;
            }
    deviceList_->setCurrentRow(selectedRow);
    if (selectedRow < 0)
        deviceList_->clearSelection();
    // A selected device that is gone leaves the picker blank; it still filters.
    picker_->setCurrentIndex(state.selectedDevice && selectedRow < 0 ? -1 : selectedRow + 1);
    ignoreButton_->setVisible(state.canIgnoreSelected);
    if (state.canIgnoreSelected)
        ignoreButton_->setText(ignoreTitle(*state.selectedDevice));
}

void HIDInspectorView::showSelectedEvent(const HIDInspectorController::State& state)
{
    QItemSelectionModel* selection = eventList_->selectionModel();
    const QSignalBlocker block(selection);
    const std::optional<qsizetype> row = state.selectedEvent ? events_.rowOf(state.selectedEvent->id) : std::nullopt;
    const QModelIndex current = row ? events_.index(static_cast<int>(*row)) : QModelIndex();
    if (selection->currentIndex() != current || (current.isValid() && !selection->isSelected(current))) {
        selection->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
        eventList_->viewport()->update();
    }
    // A newly selected event is brought into view once; the list then scrolls freely.
    const std::optional<QUuid> selectedId = state.selectedEvent ? std::optional(state.selectedEvent->id) : std::nullopt;
    if (std::exchange(shownSelectedEvent_, selectedId) != selectedId && current.isValid())
        eventList_->scrollTo(current);
}

void HIDInspectorView::render(const HIDInspectorController::State& state)
{
    renderDevices(state);
    {
        const QSignalBlocker block(onlySelected_);
        onlySelected_->setChecked(state.captureOnlySelected);
    }

    {
        // Rows leaving move the view's current row; the selection is the controller's.
        const QSignalBlocker block(eventList_->selectionModel());
        events_.setSamples(state.events);
    }
    showSelectedEvent(state);

    if (labelField_->text() != state.customLabel) {
        const QSignalBlocker block(labelField_);
        labelField_->setText(state.customLabel);
    }
    saveButton_->setEnabled(state.canSaveMapping);
    selectedLine_->setText(state.selectedEventText);
}

} // namespace velmor
