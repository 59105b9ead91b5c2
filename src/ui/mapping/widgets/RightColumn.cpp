#include "ui/mapping/widgets/RightColumn.h"

#include "ui/mapping/MappingListModel.h"
#include "ui/mapping/MappingListRowsMaker.h"
#include "ui/mapping/widgets/FocusReporter.h"
#include "ui/mapping/widgets/MappingRow.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/NiceButton.h"
#include "ui/shared/widgets/ScrollAnchor.h"
#include "ui/shared/widgets/ToolIconView.h"

#include <QBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

namespace velmor {

using namespace mappingViews;

namespace {

QListView* plainList(const char* name)
{
    auto* list = new QListView;
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setResizeMode(QListView::Adjust);
    list->setFrameShape(QFrame::NoFrame);
    list->setMouseTracking(true);
    list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    return list;
}

constexpr int collapsedLogHeight = 52;
constexpr int expandedLogMinimum = 160;

} // namespace

RightColumn::RightColumn(MappingController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller), mappingModel_(std::make_unique<MappingListModel>()),
      logModel_(std::make_unique<EventLogModel>())
{
    setObjectName(QStringLiteral("rightColumn"));
    auto* layout = column(this, 14);
    layout->addWidget(mappingsCard(), 1);
    layout->addWidget(eventLogCard(), 0);
    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

RightColumn::~RightColumn()
{
    subscription_ = {};
    mappings_->setModel(nullptr);
    logList_->setModel(nullptr);
}

QWidget* RightColumn::mappingsCard()
{
    auto* card = new GlassCard(14);
    auto* content = new QWidget;
    auto* layout = column(content, 10);

    auto* header = row(8);
    header->addWidget(textLabel(QStringLiteral("Current Mappings"), Style::headline, Qt::white));
    header->addStretch();
    count_ = new Badge(8);
    count_->setObjectName(QStringLiteral("mappingCount"));
    count_->setFont(Theme::boldFont(Style::caption2));
    setTextColour(count_, Theme::gray());
    header->addWidget(count_);
    layout->addLayout(header);

    filter_ = new QLineEdit;
    filter_->setObjectName(QStringLiteral("mappingFilter"));
    filter_->setPlaceholderText(QStringLiteral("Filter mappings"));
    QObject::connect(filter_, &QLineEdit::textEdited, this,
                     [this](const QString& text) { controller_.setMappingSearchText(text); });
    filterFocus_ = new FocusReporter(*filter_, [this](bool focused) { controller_.setMappingSearchFocused(focused); });
    layout->addWidget(filter_);

    listOrEmpty_ = new QStackedWidget;
    mappings_ = plainList("mappingList");
    mappings_->setModel(mappingModel_.get());
    mappings_->setItemDelegate(new MappingRow(
        *mappingModel_, [this](const ButtonMapping& mapping) { controller_.removeMapping(mapping); }, mappings_));
    ToolIconView::repaintRowsWhenImagesArrive(mappings_, [this](const QModelIndex& row) {
        return toolIconSelection(mappingModel_->row(row.row()).entry.tool);
    });
    mappingsAnchor_ = new ScrollAnchor(*mappings_);
    rowsMaker_ = std::make_unique<MappingListRowsMaker>([this](QList<MappingListRow> rows, qsizetype count) {
        showMappingRows(std::move(rows), count);
    });
    listOrEmpty_->addWidget(mappings_);

    auto* empty = new QWidget;
    empty->setObjectName(QStringLiteral("mappingsEmpty"));
    auto* emptyLayout = column(empty, 10);
    emptyLayout->setContentsMargins(12, 12, 12, 12);
    emptyTitle_ = textLabel({}, Style::headline, Qt::white);
    emptyTitle_->setObjectName(QStringLiteral("emptyTitle"));
    emptySubtitle_ = textLabel({}, Style::subheadline, Theme::gray());
    emptySubtitle_->setAlignment(Qt::AlignCenter);
    emptySubtitle_->setWordWrap(true);
    loadExample_ = new NiceButton(QStringLiteral("Load Example"), {Theme::surface()});
    loadExample_->setObjectName(QStringLiteral("loadExample"));
    QObject::connect(loadExample_, &QAbstractButton::clicked, this, [this] { controller_.loadExampleMappings(); });
    emptyLayout->addWidget(emptyTitle_, 0, Qt::AlignHCenter);
    emptyLayout->addWidget(emptySubtitle_);
    emptyLayout->addWidget(loadExample_, 0, Qt::AlignHCenter);
    emptyLayout->addStretch();
    empty->setMinimumHeight(120);
    listOrEmpty_->addWidget(empty);
    layout->addWidget(listOrEmpty_, 1);

    card->setContent(content);
    return card;
}

QWidget* RightColumn::eventLogCard()
{
    logCard_ = new GlassCard(10);
    auto* content = new QWidget;
    logLayout_ = column(content, 8);

    auto* header = row(8);
    auto* toggle = new QToolButton;
    toggle->setObjectName(QStringLiteral("toggleLog"));
    toggle->setText(QStringLiteral("Event Log"));
    toggle->setFont(Theme::boldFont(Style::headline));
    toggle->setAutoRaise(true);
    toggle->setCursor(Qt::PointingHandCursor);
    toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle->setLayoutDirection(Qt::RightToLeft); // the chevron after the title
    toggle->setIconSize(QSize(12, 12));
    toggle->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; color: rgba(255,255,255,224); }"));
    logToggle_ = toggle;
    QObject::connect(toggle, &QAbstractButton::clicked, this, [this] { controller_.toggleEventLog(); });
    header->addWidget(toggle);
    header->addStretch();
    copyLog_ = new NiceButton(QStringLiteral("Copy"), {Theme::surface()});
    copyLog_->setObjectName(QStringLiteral("copyLog"));
    QObject::connect(copyLog_, &QAbstractButton::clicked, this, [this] { controller_.copyEventLog(); });
    clearLog_ = new NiceButton(QStringLiteral("Clear"), {Theme::surface()});
    clearLog_->setObjectName(QStringLiteral("clearLog"));
    QObject::connect(clearLog_, &QAbstractButton::clicked, this, [this] { controller_.clearEventLog(); });
    header->addWidget(copyLog_);
    header->addWidget(clearLog_);
    logLayout_->addLayout(header);

    logList_ = plainList("logList");
    logList_->setModel(logModel_.get());
    logList_->setItemDelegate(new EventLogDelegate(logList_));
    logList_->setSpacing(0);
    // Rows wrap to the width: a scroll bar that comes and goes would change it under them.
    logList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logLayout_->addWidget(logList_, 1);

    logCard_->setContent(content);
    return logCard_;
}

void RightColumn::render(const MappingController::State& state)
{
    if (filter_->text() != state.mappingSearchText) {
        const QSignalBlocker blocker(filter_);
        filter_->setText(state.mappingSearchText);
    }
    filterFocus_->follow(state.mappingSearchFocused);

    mappingModel_->setHighlighted(state.lastPressedButtonId, state.selectedButtonId);
    ListSources sources{state.activeMappings, state.activePacsProfile, state.mappingSearchText};
    if (listSources_ != sources) {
        filtering_ = !state.mappingSearchText.isEmpty();
        rowsMaker_->make(sources.mappings, sources.pacs, sources.search);
        listSources_ = std::move(sources);
    }
    showListOrEmpty();

    // Scroll to the row of a newly pressed or selected button; not on the first showing.
    if (rendered_ && state.lastPressedButtonId != lastPressed_ && state.lastPressedButtonId)
        scrollToButton(state, *state.lastPressedButtonId);
    if (rendered_ && state.selectedButtonId != selected_ && state.selectedButtonId)
        scrollToButton(state, *state.selectedButtonId);
    lastPressed_ = state.lastPressedButtonId;
    selected_ = state.selectedButtonId;
    rendered_ = true;

    renderLog(state);
}

void RightColumn::showMappingRows(QList<MappingListRow> rows, qsizetype count)
{
    count_->setVisible(count > 0);
    count_->setText(QString::number(count));
    mappingsAnchor_->hold();
    rowsMaker_->release(mappingModel_->setAllRows(std::move(rows)));
    mappingsAnchor_->restore();
    showListOrEmpty();
}

void RightColumn::showListOrEmpty()
{
    listOrEmpty_->setCurrentIndex(mappingModel_->rowCount() > 0 ? 0 : 1);
    emptyTitle_->setText(filtering_ ? QStringLiteral("No matches") : QStringLiteral("🎮 No Mappings Yet"));
    emptySubtitle_->setText(filtering_ ? QStringLiteral("Try a different search.")
                                       : QStringLiteral("Click any button, then select a tool to create your first mapping."));
    loadExample_->setVisible(!filtering_);
}

void RightColumn::scrollToButton(const MappingController::State& state, const QString& buttonId)
{
    const auto mapping = std::find_if(state.activeMappings.cbegin(), state.activeMappings.cend(),
                                      [&](const ButtonMapping& m) { return m.buttonId == buttonId; });
    if (mapping == state.activeMappings.cend())
        return;
    const int row = mappingModel_->fetchRowOf(mapping->id);
    if (row >= 0)
        mappings_->scrollTo(mappingModel_->index(row), QAbstractItemView::PositionAtCenter);
}

void RightColumn::renderLog(const MappingController::State& state)
{
    const bool expanded = state.isLogExpanded;
    logToggle_->setIcon(SymbolIcons::instance().icon(
        expanded ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right"), Theme::textPrimary()));
    copyLog_->setVisible(expanded);
    clearLog_->setVisible(expanded);
    logList_->setVisible(expanded);
    // The card's padding is 10 collapsed and 14 expanded.
    logLayout_->setContentsMargins(expanded ? 4 : 0, expanded ? 4 : 0, expanded ? 4 : 0, expanded ? 4 : 0);
    if (expanded) {
        logCard_->setMinimumHeight(expandedLogMinimum);
        logCard_->setMaximumHeight(QWIDGETSIZE_MAX);
        logCard_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        logModel_->setRows(eventLogRows(state.logs));
    } else {
        logCard_->setFixedHeight(collapsedLogHeight);
        logCard_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        logModel_->setRows(eventLogRows(state.logs));
    }
    if (auto* column = qobject_cast<QBoxLayout*>(layout()))
        column->setStretchFactor(logCard_, expanded ? 1 : 0);
}

} // namespace velmor
