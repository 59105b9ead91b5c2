#include "ui/admin/widgets/SFSymbolPicker.h"

#include "platform/Text.h"
#include "ui/admin/widgets/AdminStyle.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/Theme.h"
#include "ui/shared/ToolIcon.h"
#include "ui/shared/widgets/NameLabel.h"
#include "ui/shared/widgets/ToolIconView.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace velmor {


namespace {

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

// Cards in the grid's cells, a little smaller than the cell so that they stand apart.
class GridCellDelegate : public QStyledItemDelegate {
public:
    explicit GridCellDelegate(QListView* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {grid_->gridSize().width() - 6, 60};
    }

private:
    QListView* grid_;
};

} // namespace

SFSymbolPicker::SFSymbolPicker(ToolIconSelection selected, QWidget* parent)
    : SFSymbolPicker(std::make_unique<SFSymbolPickerController>(std::move(selected)), parent)
{
}

SFSymbolPicker::SFSymbolPicker(std::unique_ptr<SFSymbolPickerController> controller, QWidget* parent)
    : QWidget(parent), controller_(std::move(controller)), feed_([this](const QList<int>& rows) { iconsArrived(rows); })
{
    missingIcon_ = customIcon(std::nullopt, Qt::white);
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
    grid_ = new QListView(pages_);
    cells_ = new IconGridModel([this](const IconGridCell& cell) { return picture(cell); },
                               Theme::font(Theme::TextStyle::caption2), grid_);
    grid_->setModel(cells_);
    grid_->setItemDelegate(new GridCellDelegate(grid_));
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
        "QListView { background: transparent; }"
        "QListView::item { background: rgba(152,152,157,31); border-radius: 10px; margin: 4px;"
        " padding: 8px 4px 4px 4px; color: rgba(255,255,255,140); }"
        "QListView::item:hover { background: rgba(152,152,157,60); }"));
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
    connect(grid_, &QListView::clicked, this, [this](const QModelIndex& index) {
        const IconGridCell& cell = cells_->cell(index.row());
        controller_->select({cell.source, cell.name});
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
}

// A new list of cells costs what shows of it: pictures are made as cells are painted and
// kept across searches.
void SFSymbolPicker::fillGrid(const SFSymbolPickerController::State& state)
{
    const bool custom = state.scope == IconPickerScope::custom;
    QList<IconGridCell> cells;
    QStringList fileNames;
    if (custom) {
        cells.reserve(state.filteredCustomIcons.size());
        for (const CustomIcon& icon : state.filteredCustomIcons) {
            cells.append({ToolIconSource::custom, icon.fileName(), text::displayName(icon.displayName()),
                          icon.displayName()});
            fileNames.append(icon.fileName());
        }
    } else {
        cells.reserve(state.filteredSymbols.size());
        for (const QString& name : state.filteredSymbols)
            cells.append({ToolIconSource::system, name, name, name});
    }
    const bool same = cells == cells_->cells();
    if (same && !custom)
        return;
    columns_ = custom ? 5 : 6;
    grid_->setIconSize(custom ? QSize(28, 28) : QSize(24, 24));
    updateGridSize();
    if (same)
        cells_->allPicturesChanged(); // the same icons listed again (Reload): drawn anew
    else
        cells_->setCells(std::move(cells));
    feed_.setIcons(std::move(fileNames));
    askForIconsOnScreen();
}

QIcon SFSymbolPicker::picture(const IconGridCell& cell)
{
    if (cell.source == ToolIconSource::system) {
        auto found = symbolPictures_.constFind(cell.name);
        if (found == symbolPictures_.cend())
            found = symbolPictures_.insert(cell.name, SymbolIcons::instance().icon(cell.name, Qt::white));
        return *found;
    }
    const std::optional<QImage> drawing = feed_.shownImage(cell.name);
    const auto kept = customPictures_.constFind(cell.name);
    if (!drawing) // the library let the drawing go: the picture made of it still stands
        return kept != customPictures_.cend() ? kept->icon : missingIcon_;
    if (kept != customPictures_.cend() && kept->image == drawing->cacheKey())
        return kept->icon;
    return customPictures_.insert(cell.name, {drawing->cacheKey(), customIcon(drawing, Qt::white)})->icon;
}

// The rows in view (and one more line of them), for the feed to ask for first.
void SFSymbolPicker::askForIconsOnScreen()
{
    const QSize cell = grid_->gridSize();
    if (cell.isEmpty() || cells_->rowCount() == 0)
        return;
    const QModelIndex top = grid_->indexAt(QPoint(cell.width() / 2, cell.height() / 2));
    const int perLine = std::max(1, grid_->viewport()->width() / cell.width());
    const int lines = grid_->viewport()->height() / cell.height() + 2;
    feed_.showing(top.isValid() ? top.row() : 0, perLine * lines);
}

// A new drawing, or none when the files were replaced: the old picture goes.
void SFSymbolPicker::iconsArrived(const QList<int>& rows)
{
    for (const int row : rows)
        if (row < cells_->rowCount())
            customPictures_.remove(cells_->cell(row).name);
    cells_->picturesChanged(rows);
}

} // namespace velmor
