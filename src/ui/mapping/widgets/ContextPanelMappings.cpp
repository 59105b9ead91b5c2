#include "ui/mapping/widgets/ContextPanelMappings.h"

#include "ui/mapping/MappingToolListModel.h"
#include "ui/mapping/widgets/FocusReporter.h"
#include "ui/mapping/widgets/PanelHeader.h"
#include "ui/mapping/widgets/ToolListItem.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/widgets/NiceButton.h"
#include "ui/shared/widgets/ScrollAnchor.h"
#include "ui/shared/widgets/ToolIconView.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLineEdit>
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

// "Search tools" and the category filter, both bound to the window's values.
class MappingsSearchHeader : public QWidget {
public:
    explicit MappingsSearchHeader(MappingController& controller)
    {
        auto* layout = column(this, 10);
        search_ = new QLineEdit;
        search_->setObjectName(QStringLiteral("toolSearch"));
        search_->setPlaceholderText(QStringLiteral("Search tools"));
        search_->setClearButtonEnabled(true);
        QObject::connect(search_, &QLineEdit::textEdited, this,
                         [&controller](const QString& text) { controller.setSearchText(text); });
        searchFocused_ = new FocusReporter(*search_, [&controller](bool focused) { controller.setSearchFocused(focused); });
        layout->addWidget(search_);
        filters_ = new QButtonGroup(this);
        filters_->setExclusive(true);
        layout->addWidget(segmentedFilter(*filters_));
        QObject::connect(filters_, &QButtonGroup::idClicked, this,
                         [&controller](int id) { controller.setToolFilter(static_cast<ToolFilter>(id)); });
    }

    void setValues(const QString& searchText, ToolFilter toolFilter, bool searchFocused)
    {
        if (search_->text() != searchText) {
            const QSignalBlocker blocker(search_);
            search_->setText(searchText);
        }
        searchFocused_->follow(searchFocused);
        if (QAbstractButton* checked = filters_->button(static_cast<int>(toolFilter)); !checked->isChecked()) {
            const QSignalBlocker blocker(filters_);
            checked->setChecked(true);
        }
    }

private:
    QLineEdit* search_;
    FocusReporter* searchFocused_;
    QButtonGroup* filters_;
};

// "Quick Actions": swap two mappings, copy one to another button.
class MappingsQuickActions : public QWidget {
public:
    MappingsQuickActions(std::function<void()> onSwap, std::function<void()> onCopy)
    {
        auto* layout = column(this, 10);
        layout->addWidget(textLabel(QStringLiteral("Quick Actions"), Style::caption, Theme::gray(), true));
        swap_ = new NiceButton(QStringLiteral("arrow.left.arrow.right"), QStringLiteral("Swap Mappings"), {Theme::surface()});
        swap_->setObjectName(QStringLiteral("swap"));
        swap_->setToolTip(QStringLiteral("Select a mapped button, click swap, then select another button and click swap again."));
        QObject::connect(swap_, &QAbstractButton::clicked, this, std::move(onSwap));
        copy_ = new NiceButton(QStringLiteral("doc.on.doc"), QStringLiteral("Copy Mapping"), {Theme::surface()});
        copy_->setObjectName(QStringLiteral("copy"));
        copy_->setToolTip(QStringLiteral("Copy a mapping and apply it to another button."));
        QObject::connect(copy_, &QAbstractButton::clicked, this, std::move(onCopy));
        layout->addWidget(swap_, 0, Qt::AlignLeft);
        layout->addWidget(copy_, 0, Qt::AlignLeft);
    }

    void setBuffers(const std::optional<ButtonMapping>& swapCandidate, const std::optional<ButtonMapping>& copyBuffer)
    {
        swap_->setText(swapCandidate ? QStringLiteral("Select Target") : QStringLiteral("Swap Mappings"));
        copy_->setText(copyBuffer ? QStringLiteral("Apply Copy") : QStringLiteral("Copy Mapping"));
    }

private:
    NiceButton* swap_;
    NiceButton* copy_;
};

// The status line: "Button selected" in green, or "Listening..." in amber.
class MappingsStatusIndicator : public QWidget {
public:
    MappingsStatusIndicator()
    {
        auto* layout = row(this, 6);
        dot_ = new Dot(8);
        text_ = textLabel({}, Style::caption2, Theme::accentAmber());
        text_->setObjectName(QStringLiteral("buttonStatus"));
        layout->addWidget(dot_);
        layout->addWidget(text_);
        layout->addStretch();
    }

    void setSelectedButtonId(const std::optional<QString>& selectedButtonId)
    {
        const bool selected = selectedButtonId.has_value();
        const QColor colour = selected ? Theme::accentGreen() : Theme::accentAmber();
        dot_->setColour(colour);
        setTextColour(text_, colour);
        text_->setText(selected ? QStringLiteral("Button selected") : QStringLiteral("Listening..."));
    }

private:
    Dot* dot_;
    QLabel* text_;
};

MappingsToolList::MappingsToolList(std::function<void(const RadiologyTool&)> onSelectTool,
                                   std::function<void(const RadiologyTool&)> onToggleFavorite, QWidget* parent)
    : QListView(parent), model_(std::make_unique<MappingToolListModel>())
{
    setObjectName(QStringLiteral("toolList"));
    setModel(model_.get());
    setItemDelegate(new ToolListItem(*model_, std::move(onSelectTool), std::move(onToggleFavorite), this));
    ToolIconView::repaintRowsWhenImagesArrive(this, [this](const QModelIndex& index) {
        const ToolListRow& row = model_->row(index.row());
        return row.isHeader ? ToolIconSelection{} : toolIconSelection(row.tool);
    });
    setSelectionMode(QAbstractItemView::NoSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setUniformItemSizes(false);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    anchor_ = new ScrollAnchor(*this);
}

MappingsToolList::~MappingsToolList() { setModel(nullptr); }

void MappingsToolList::setTools(const QList<ToolGroup>& groupedTools, const std::optional<QUuid>& selectedToolId,
                                const QHash<QUuid, ButtonMapping>& toolMappings)
{
    anchor_->hold();
    model_->setTools(groupedTools, selectedToolId, toolMappings);
    anchor_->restore();
}

ContextPanelMappings::ContextPanelMappings(MappingController& controller, Actions actions, QWidget* parent)
    : QWidget(parent), controller_(controller), actions_(std::move(actions))
{
    setObjectName(QStringLiteral("mappingsPanel"));
    auto* layout = column(this, 12);
    layout->addWidget(new PanelHeader(QStringLiteral("Tools"), {}));
    searchHeader_ = new MappingsSearchHeader(controller_);
    layout->addWidget(searchHeader_);
    list_ = new MappingsToolList(actions_.onSelectTool, actions_.onToggleFavorite);
    layout->addWidget(list_, 1);
    layout->addWidget(divider());
    quickActions_ = new MappingsQuickActions(actions_.onSwap, actions_.onCopy);
    layout->addWidget(quickActions_);
    status_ = new MappingsStatusIndicator;
    layout->addWidget(status_);

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

ContextPanelMappings::~ContextPanelMappings() { subscription_ = {}; }

void ContextPanelMappings::render(const MappingController::State& state)
{
    searchHeader_->setValues(state.searchText, state.toolFilter, state.searchFocused);
    list_->setTools(state.groupedTools, state.selectedToolId, state.toolMappings);
    quickActions_->setBuffers(state.swapCandidate, state.copyBuffer);
    status_->setSelectedButtonId(state.selectedButtonId);
}

} // namespace velmor
