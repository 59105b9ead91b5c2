#include "ui/admin/widgets/SFSymbolPicker.h"

#include "platform/Text.h"
#include "ui/admin/widgets/AdminStyle.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/Theme.h"
#include "ui/shared/ToolIcon.h"
#include "ui/shared/ToolTipRoom.h"
#include "ui/shared/widgets/NameLabel.h"
#include "ui/shared/widgets/ToolIconView.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace velmor {


namespace {

constexpr int selectionRole = Qt::UserRole + 1;

QPushButton* button(const QString& text, const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

// A custom icon's cell image from its drawing, or the missing-icon symbol.
QIcon customIcon(std::optional<QImage> drawing, const QColor& colour)
{
    const QString symbol = drawing ? QString() : missingCustomIconSymbol;
    const ToolIconImage image{std::move(drawing), symbol};
    QPixmap pixmap(56, 56);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    ToolIconView::paint(painter, QRectF(0, 0, 56, 56), image, image.customImage ? colour : Theme::gray());
    return QIcon(pixmap);
}

// A cell whose tooltip is made when it is first shown: fitting a name to a tooltip's room
// measures it, which thousands of cells would pay for at every fill.
class GridCell : public QListWidgetItem {
public:
    GridCell(const QIcon& icon, const QString& label, QString named)
        : QListWidgetItem(icon, label), named_(std::move(named))
    {
    }

    QVariant data(int role) const override
    {
        if (role != Qt::ToolTipRole)
            return QListWidgetItem::data(role);
        if (!toolTip_)
            toolTip_ = plainText::toolTip(ToolTipRoom().line({ToolTipRoom::name(named_)}));
        return *toolTip_;
    }

private:
    QString named_;
    mutable std::optional<QString> toolTip_;
};

} // namespace

SFSymbolPicker::SFSymbolPicker(ToolIconSelection selected, QWidget* parent)
    : SFSymbolPicker(std::make_unique<SFSymbolPickerController>(std::move(selected)), parent)
{
}

SFSymbolPicker::SFSymbolPicker(std::unique_ptr<SFSymbolPickerController> controller, QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)), feed_([this](const QList<int>& rows) { iconsArrived(rows); })
{
    setMinimumSize(560, 520);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->addWidget(admin::label(tr("Icons"), Theme::TextStyle::headline, Qt::white, true, this));
    header->addStretch(1);
    openFolder_ = button(tr("Open Icons Folder"), QStringLiteral("openIconsFolder"), this);
    reload_ = button(tr("Reload"), QStringLiteral("reloadIcons"), this);
    auto* cancel = button(tr("Cancel"), QStringLiteral("cancelIconPicker"), this);
    header->addWidget(openFolder_);
    header->addWidget(reload_);
    header->addWidget(cancel);
    column->addLayout(header);

    auto* scopeRow = new QHBoxLayout;
    scopeRow->setSpacing(0);
    scopes_ = new QButtonGroup(this);
    for (const IconPickerScope scope : {IconPickerScope::system, IconPickerScope::custom}) {
        auto* segment = admin::segment(scopeLabel(scope), QStringLiteral("iconScope_") + toText(scope), this);
        scopes_->addButton(segment, int(scope));
        scopeRow->addWidget(segment, 1);
    }
    column->addLayout(scopeRow);

    auto* current = new QHBoxLayout;
    current->setSpacing(8);
    current->addWidget(admin::label(tr("Current:"), Theme::TextStyle::body, Qt::white, false, this));
    currentIcon_ = new ToolIconView(controller_->state().get().selected, std::nullopt, 20, this);
    currentIcon_->setColor(Qt::white);
    current->addWidget(currentIcon_);
    currentName_ = new NameLabel({}, this); // an icon's name, from whoever made it
    currentName_->setObjectName(QStringLiteral("currentIconName"));
    currentName_->setFont(Theme::monospacedFont(Theme::TextStyle::caption));
    currentName_->setStyleSheet(QStringLiteral("color: rgba(255,255,255,140)"));
    current->addWidget(currentName_);
    current->addStretch(1);
    column->addLayout(current);

    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("iconSearch"));
    search_->setClearButtonEnabled(true);
    column->addWidget(search_);

    pages_ = new QStackedWidget(this);
    grid_ = new QListWidget(pages_);
    grid_->setObjectName(QStringLiteral("iconGrid"));
    grid_->setViewMode(QListView::IconMode);
    grid_->setResizeMode(QListView::Adjust);
    grid_->setMovement(QListView::Static);
    grid_->setUniformItemSizes(true);
    grid_->setSpacing(6);
    grid_->setWordWrap(false);
    grid_->setTextElideMode(Qt::ElideRight);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid_->setFrameShape(QFrame::NoFrame);
    grid_->setStyleSheet(QStringLiteral(
        "QListWidget { background: transparent; }"
        "QListWidget::item { background: rgba(152,152,157,31); border-radius: 10px; margin: 4px;"
        " padding: 8px 4px 4px 4px; color: rgba(255,255,255,140); }"
        "QListWidget::item:hover { background: rgba(152,152,157,60); }"));
    grid_->viewport()->setAutoFillBackground(false);
    grid_->viewport()->installEventFilter(this);
    pages_->addWidget(grid_);

    auto* empty = new QWidget(pages_);
    empty->setObjectName(QStringLiteral("noCustomIcons"));
    auto* emptyColumn = new QVBoxLayout(empty);
    emptyColumn->setContentsMargins(0, 8, 0, 8);
    emptyColumn->setSpacing(6);
    emptyColumn->addWidget(admin::label(tr("No custom icons found."), Theme::TextStyle::subheadline, Qt::white, false, empty));
    emptyColumn->addWidget(admin::label(tr("Drop SVG files into:"), Theme::TextStyle::caption, Theme::secondaryText(), false, empty));
    folderPath_ = new QLabel(empty);
    folderPath_->setTextFormat(Qt::PlainText);
    folderPath_->setFont(Theme::monospacedFont(Theme::TextStyle::caption2));
    folderPath_->setStyleSheet(QStringLiteral("color: rgba(255,255,255,140)"));
    folderPath_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    emptyColumn->addWidget(folderPath_);
    emptyColumn->addStretch(1);
    pages_->addWidget(empty);
    column->addWidget(pages_, 1);

    connect(openFolder_, &QPushButton::clicked, this, [this] { controller_->openIconsFolder(); });
    connect(reload_, &QPushButton::clicked, this, [this] { controller_->reloadCustomIcons(); });
    connect(cancel, &QPushButton::clicked, this, [this] { controller_->cancel(); });
    connect(scopes_, &QButtonGroup::idClicked, this,
            [this](int id) { controller_->setScope(static_cast<IconPickerScope>(id)); });
    connect(search_, &QLineEdit::textEdited, this, [this](const QString& text) { controller_->setSearchText(text); });
    connect(grid_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const auto source = toolIconSourceFromText(item->data(selectionRole).toString());
        controller_->select({source.value_or(ToolIconSource::system), item->data(Qt::UserRole).toString()});
    });

    connect(grid_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { askForIconsOnScreen(); });

    subscription_ = controller_->state().subscribe([this](const SFSymbolPickerController::State& state) { render(state); });
}

SFSymbolPicker::~SFSymbolPicker() = default;

void SFSymbolPicker::render(const SFSymbolPickerController::State& state)
{
    const bool custom = state.scope == IconPickerScope::custom;
    openFolder_->setVisible(custom);
    reload_->setVisible(custom);
    {
        const QSignalBlocker blocker(scopes_);
        scopes_->button(int(state.scope))->setChecked(true);
    }
    currentIcon_->setSelection(state.selected, std::nullopt);
    currentName_->setText(text::displayName(state.currentName));
    if (search_->text() != state.searchText) {
        const QSignalBlocker blocker(search_);
        search_->setText(state.searchText);
    }
    search_->setPlaceholderText(state.searchPlaceholder);
    folderPath_->setText(state.iconsFolder);
    pages_->setCurrentIndex(custom && state.filteredCustomIcons.isEmpty() ? 1 : 0);
    fillGrid(state);
}

bool SFSymbolPicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid_->viewport() && event->type() == QEvent::Resize) {
        updateGridSize();
        askForIconsOnScreen();
    }
    return QWidget::eventFilter(watched, event);
}

// Six flexible columns for symbols (at least 60 wide), five for custom icons (at least 80).
void SFSymbolPicker::updateGridSize()
{
    const int minimum = columns_ == 5 ? 80 : 60;
    const int width = std::max(minimum, (grid_->viewport()->width() - 2) / columns_);
    grid_->setGridSize(QSize(width, 66));
    for (int row = 0; row < grid_->count(); ++row)
        grid_->item(row)->setSizeHint(QSize(width - 6, 60));
}

void SFSymbolPicker::fillGrid(const SFSymbolPickerController::State& state)
{
    const bool custom = state.scope == IconPickerScope::custom;
    QStringList keys{toText(state.scope)};
    if (custom)
        for (const CustomIcon& icon : state.filteredCustomIcons)
            keys << icon.fileName();
    else
        keys << state.filteredSymbols;
    if (keys == gridKeys_ && !custom)
        return;
    gridKeys_ = keys;

    const QSignalBlocker blocker(grid_);
    grid_->clear();
    columns_ = custom ? 5 : 6;
    grid_->setIconSize(custom ? QSize(28, 28) : QSize(24, 24));
    updateGridSize();
    const int cellWidth = grid_->gridSize().width();
    const QColor colour = Qt::white;
    const QFont font = Theme::font(Theme::TextStyle::caption2);
    // `label`: the cell's text; `named`: the name its tooltip shows, cut to the tooltip's room.
    // Made whole before it joins the grid, so the grid hears of each cell once.
    auto add = [&](const QIcon& icon, const QString& label, const QString& named, ToolIconSource source,
                   const QString& name) {
        auto* item = new GridCell(icon, label, named);
        item->setData(Qt::UserRole, name);
        item->setData(selectionRole, velmor::toText(source));
        item->setSizeHint(QSize(cellWidth - 6, 60));
        item->setFont(font);
        grid_->addItem(item);
    };
    QStringList fileNames;
    if (custom) {
        // Icons not drawn yet share one picture until their drawing arrives.
        if (missingIcon_.isNull())
            missingIcon_ = customIcon(std::nullopt, colour);
        for (const CustomIcon& icon : state.filteredCustomIcons) {
            const std::optional<QImage> drawing = feed_.image(icon.fileName());
            add(drawing ? customIcon(drawing, colour) : missingIcon_, text::displayName(icon.displayName()),
                icon.displayName(), ToolIconSource::custom, icon.fileName());
            fileNames.append(icon.fileName());
        }
    } else {
        for (const QString& name : state.filteredSymbols)
            add(SymbolIcons::instance().icon(name, colour), name, name, ToolIconSource::system, name);
    }
    feed_.setIcons(std::move(fileNames));
    askForIconsOnScreen();
}

// The rows in view (and one more line of them), for the feed to ask for first.
void SFSymbolPicker::askForIconsOnScreen()
{
    const QSize cell = grid_->gridSize();
    if (cell.isEmpty() || grid_->count() == 0)
        return;
    const QModelIndex top = grid_->indexAt(QPoint(cell.width() / 2, cell.height() / 2));
    const int perLine = std::max(1, grid_->viewport()->width() / cell.width());
    const int lines = grid_->viewport()->height() / cell.height() + 2;
    feed_.showing(top.isValid() ? top.row() : 0, perLine * lines);
}

void SFSymbolPicker::iconsArrived(const QList<int>& rows)
{
    for (const int row : rows) {
        QListWidgetItem* item = grid_->item(row);
        if (!item)
            continue;
        const std::optional<QImage> drawing = feed_.image(item->data(Qt::UserRole).toString());
        item->setIcon(drawing ? customIcon(drawing, Qt::white) : missingIcon_);
    }
}

} // namespace velmor
