#include "ui/mapping/widgets/MappingsPanel.h"

#include "ui/mapping/MappingToolListModel.h"
#include "ui/mapping/widgets/FocusReporter.h"
#include "ui/mapping/widgets/PanelHeader.h"
#include "ui/mapping/widgets/ToolListDelegate.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/widgets/NiceButton.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>

namespace velmor {

using namespace mappingViews;

namespace {

QString filterTitle(ToolFilter filter)
{
    switch (filter) {
    case ToolFilter::all:
        return QStringLiteral("All");
    case ToolFilter::viewer:
        return QStringLiteral("Viewer");
    case ToolFilter::reporting:
        return QStringLiteral("Reporting");
    case ToolFilter::mammo:
        break;
    }
    return QStringLiteral("Mammo");
}

// Four exclusive buttons drawn as one segmented control.
QWidget* segmentedFilter(QButtonGroup& group)
{
    auto* box = new QWidget;
    auto* layout = row(box, 0);
    for (ToolFilter filter : allToolFilters) {
        auto* button = new QPushButton(filterTitle(filter));
        button->setObjectName(QStringLiteral("filter-") + filterTitle(filter).toLower());
        button->setCheckable(true);
        button->setFocusPolicy(Qt::TabFocus);
        button->setFont(Theme::font(Style::callout));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group.addButton(button, static_cast<int>(filter));
        layout->addWidget(button);
    }
    box->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; background: rgba(255,255,255,0.06); border: 1px solid rgba(255,255,255,0.12);"
        " padding: 4px 2px; border-radius: 0; }"
        "QPushButton:checked { background: rgba(255,255,255,0.24); }"
        "QPushButton#filter-all { border-top-left-radius: 6px; border-bottom-left-radius: 6px; }"
        "QPushButton#filter-mammo { border-top-right-radius: 6px; border-bottom-right-radius: 6px; }"));
    return box;
}

} // namespace

MappingsPanel::MappingsPanel(MappingController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller), model_(std::make_unique<MappingToolListModel>())
{
    setObjectName(QStringLiteral("mappingsPanel"));
    auto* layout = column(this, 12);
    layout->addWidget(new PanelHeader(QStringLiteral("Tools"), {}));

    auto* searchHeader = column(10);
    search_ = new QLineEdit;
    search_->setObjectName(QStringLiteral("toolSearch"));
    search_->setPlaceholderText(QStringLiteral("Search tools"));
    search_->setClearButtonEnabled(true);
    QObject::connect(search_, &QLineEdit::textEdited, this, [this](const QString& text) { controller_.setSearchText(text); });
    searchFocus_ = new FocusReporter(*search_, [this](bool focused) { controller_.setSearchFocused(focused); });
    searchHeader->addWidget(search_);
    filters_ = new QButtonGroup(this);
    filters_->setExclusive(true);
    searchHeader->addWidget(segmentedFilter(*filters_));
    QObject::connect(filters_, &QButtonGroup::idClicked, this,
                     [this](int id) { controller_.setToolFilter(static_cast<ToolFilter>(id)); });
    layout->addLayout(searchHeader);

    list_ = new QListView;
    list_->setObjectName(QStringLiteral("toolList"));
    list_->setModel(model_.get());
    list_->setItemDelegate(new ToolListDelegate(
        *model_, [this](const RadiologyTool& tool) { controller_.selectTool(tool); },
        [this](const RadiologyTool& tool) { controller_.toggleFavorite(tool); }, list_));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setDragEnabled(true);
    list_->setDragDropMode(QAbstractItemView::DragOnly);
    list_->setDefaultDropAction(Qt::CopyAction);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setMouseTracking(true);
    list_->setUniformItemSizes(false);
    list_->viewport()->setAutoFillBackground(false);
    list_->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    layout->addWidget(list_, 1);
    layout->addWidget(divider());

    auto* quick = column(10);
    quick->addWidget(textLabel(QStringLiteral("Quick Actions"), Style::caption, Theme::gray(), true));
    swap_ = new NiceButton(QStringLiteral("arrow.left.arrow.right"), QStringLiteral("Swap Mappings"), {Theme::surface()});
    swap_->setObjectName(QStringLiteral("swap"));
    swap_->setToolTip(QStringLiteral("Select a mapped button, click swap, then select another button and click swap again."));
    QObject::connect(swap_, &QAbstractButton::clicked, this, [this] { controller_.swapMappings(); });
    copy_ = new NiceButton(QStringLiteral("doc.on.doc"), QStringLiteral("Copy Mapping"), {Theme::surface()});
    copy_->setObjectName(QStringLiteral("copy"));
    copy_->setToolTip(QStringLiteral("Copy a mapping and apply it to another button."));
    QObject::connect(copy_, &QAbstractButton::clicked, this, [this] { controller_.copyMapping(); });
    quick->addWidget(swap_, 0, Qt::AlignLeft);
    quick->addWidget(copy_, 0, Qt::AlignLeft);
    layout->addLayout(quick);

    auto* statusRow = row(6);
    statusDot_ = new Dot(8);
    status_ = textLabel({}, Style::caption2, Theme::accentAmber());
    status_->setObjectName(QStringLiteral("buttonStatus"));
    statusRow->addWidget(statusDot_);
    statusRow->addWidget(status_);
    statusRow->addStretch();
    layout->addLayout(statusRow);

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

MappingsPanel::~MappingsPanel()
{
    subscription_ = {};
    list_->setModel(nullptr);
}

void MappingsPanel::render(const MappingController::State& state)
{
    if (search_->text() != state.searchText) {
        const QSignalBlocker blocker(search_);
        search_->setText(state.searchText);
    }
    searchFocus_->follow(state.searchFocused);
    if (QAbstractButton* checked = filters_->button(static_cast<int>(state.toolFilter)); !checked->isChecked()) {
        const QSignalBlocker blocker(filters_);
        checked->setChecked(true);
    }
    model_->setRows(toolListRows(state.groupedTools, state.selectedToolId, state.activeMappings));

    swap_->setText(state.swapCandidate ? QStringLiteral("Select Target") : QStringLiteral("Swap Mappings"));
    copy_->setText(state.copyBuffer ? QStringLiteral("Apply Copy") : QStringLiteral("Copy Mapping"));
    const bool selected = state.selectedButtonId.has_value();
    const QColor colour = selected ? Theme::accentGreen() : Theme::accentAmber();
    statusDot_->setColour(colour);
    setTextColour(status_, colour);
    status_->setText(selected ? QStringLiteral("Button selected") : QStringLiteral("Listening..."));
}

} // namespace velmor
