#include "ui/admin/widgets/AdminView.h"

#include "ui/admin/widgets/AdminPacsProfileSection.h"
#include "ui/admin/widgets/AdminStyle.h"
#include "ui/admin/widgets/AdminToolbar.h"
#include "ui/shared/widgets/AlertBanner.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/ScrollAnchor.h"
#include "ui/shared/widgets/SheetHost.h"
#include "ui/shared/widgets/ThemeStyle.h"
#include "ui/shared/widgets/ToolIconView.h"
#include "ui/admin/widgets/ToggleEditorSheet.h"
#include "ui/admin/widgets/ToolInspector.h"
#include "ui/admin/widgets/ToolsListRow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace velmor {


AdminView::AdminView(AppModel& appModel, Prompter& prompter, QWidget* parent)
    : QWidget(parent), controller_(std::make_unique<AdminController>(appModel, prompter))
{
    build();
}

AdminView::AdminView(AdminController::Sources sources, Prompter& prompter, QWidget* parent)
    : QWidget(parent), controller_(std::make_unique<AdminController>(std::move(sources), prompter))
{
    build();
}

AdminView::~AdminView()
{
    // The widgets call the controller: they go first.
    subscription_.reset();
    delete toggleDialog_;
    delete toast_;
    delete content_;
}

void AdminView::build()
{
    setWindowTitle(tr("Admin / Tools"));
    // A fixed size, but never larger than the screen.
    QSize size = windowSize;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize());
    setFixedSize(size);

    content_ = new Backdrop(this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(content_);
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);

    AdminController& controller = *controller_;
    toolbar_ = new AdminToolbar({[&controller] { controller.createTool(); }, [&controller] { controller.createToggle(); },
                                 [&controller] { controller.createPacsProfile(); },
                                 [&controller] { controller.duplicateSelectedTool(); },
                                 [&controller] { controller.requestDeleteTool(); }},
                                content_);
    column->addWidget(toolbar_);

    auto* panels = new QHBoxLayout;
    panels->setSpacing(12);
    column->addLayout(panels, 1);

    auto* left = new GlassCard(14, content_);
    left->setMinimumWidth(320);
    left->setMaximumWidth(420);
    left->setFixedWidth(360);
    auto* leftContent = new QWidget(left);
    auto* leftColumn = new QVBoxLayout(leftContent);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    leftColumn->setSpacing(12);
    leftColumn->addWidget(new AdminPanelHeader(tr("Tools"), tr("PACS tool list"), leftContent));
    pacsSection_ = new AdminPacsProfileSection({[&controller](const QUuid& id) { controller.selectPacs(id); },
                                                [&controller] { controller.beginRenamePacs(); },
                                                [&controller](const QColor& colour) { controller.setLighting(colour); },
                                                [&controller] { controller.duplicateActivePacs(); },
                                                [&controller] { controller.deleteActivePacs(); }},
                                               leftContent);
    leftColumn->addWidget(pacsSection_);
    search_ = new QLineEdit(leftContent);
    search_->setObjectName(QStringLiteral("toolSearch"));
    search_->setPlaceholderText(tr("Search tools"));
    search_->setClearButtonEnabled(true);
    leftColumn->addWidget(search_);
    list_ = new QListView(leftContent);
    list_->setObjectName(QStringLiteral("toolList"));
    list_->setModel(&toolList_);
    delegate_ = new ToolsListRow(list_);
    delegate_->onSelect = [&controller](const QUuid& id) { controller.selectTool(id); };
    delegate_->onSetEnabled = [&controller](const QUuid& id, bool enabled) { controller.setToolEnabled(id, enabled); };
    list_->setItemDelegate(delegate_);
    ToolIconView::repaintRowsWhenImagesArrive(
        list_, [this](const QModelIndex& row) { return toolIconSelection(toolList_.tool(row.row())); });
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setMouseTracking(true);
    list_->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    list_->viewport()->setAutoFillBackground(false);
    listAnchor_ = new ScrollAnchor(*list_);
    leftColumn->addWidget(list_, 1);
    left->setContent(leftContent);
    panels->addWidget(left);

    auto* right = new GlassCard(14, content_);
    inspector_ = new ToolInspector(controller, right);
    right->setContent(inspector_);
    panels->addWidget(right, 1);

    toast_ = new AlertBanner([&controller] { controller.dismissAlert(); }, this);
    toast_->hide();

    connect(search_, &QLineEdit::textEdited, this, [&controller](const QString& text) { controller.setSearchText(text); });
    subscription_ = controller.state().subscribe([this](const AdminController::State& state) { render(state); });
}

void AdminView::render(const AdminController::State& state)
{
    toolbar_->setCanEditTool(state.canEditTool);
    pacsSection_->render({state.pacsProfiles, state.activePacs.id, state.isRazerDevice, state.lightingHex,
                          state.fallbackLightingHex});
    if (search_->text() != state.searchText) {
        const QSignalBlocker blocker(search_);
        search_->setText(state.searchText);
    }
    listAnchor_->hold();
    toolList_.setTools(state.filteredTools, state.selectedToolId);
    listAnchor_->restore();
    // Brings a newly selected row into view; otherwise the list stays where the user scrolled it.
    if (state.selectedToolId != scrolledTo_) {
        scrolledTo_ = state.selectedToolId;
        if (const int row = state.selectedToolId ? toolList_.rowOf(*state.selectedToolId) : -1; row >= 0)
            list_->scrollTo(toolList_.index(row));
    }
    inspector_->render(state);
    if (state.alert) {
        toast_->setAlert(*state.alert);
        toast_->show();
        placeToast();
        toast_->raise();
    } else {
        toast_->hide();
    }
    renderToggleEditor(state);
}

void AdminView::renderToggleEditor(const AdminController::State& state)
{
    if (toggleDialog_ && (!state.toggleEditorOpen || state.toggleEditorSerial != shownToggleSerial_)) {
        toggleSheet_ = nullptr;
        std::exchange(toggleDialog_, nullptr)->deleteLater();
    }
    if (!state.toggleEditorOpen || toggleDialog_)
        return;
    const auto editor = controller_->toggleEditor();
    if (!editor)
        return;
    shownToggleSerial_ = state.toggleEditorSerial;
    toggleSheet_ = new ToggleEditorSheet(editor);
    toggleDialog_ = new SheetHost(toggleSheet_, [editor] { editor->cancel(); }, this);
    toggleDialog_->setWindowTitle(editor->state().get().title);
    toggleDialog_->show();
}

void AdminView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeToast();
}

void AdminView::placeToast()
{
    if (!toast_)
        return;
    toast_->setFixedWidth(width() - 40);
    toast_->adjustSize();
    toast_->move(20, 16);
}

} // namespace velmor
