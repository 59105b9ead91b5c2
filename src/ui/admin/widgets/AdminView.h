#pragma once

#include "ui/admin/AdminController.h"
#include "ui/admin/ToolListModel.h"

#include <QWidget>

#include <memory>

class QLineEdit;
class QListView;

namespace velmor {

class AdminPacsProfileSection;
class AdminToolbar;
class AlertBanner;
class AppModel;
class Prompter;
class ToggleEditorSheet;
class ToolInspector;
class SheetHost;
class ScrollAnchor;
class ToolsListRow;

// The "Admin / Tools" window: the toolbar, the tool panel (PACS profile, search,
// tool list) and the inspector of the selected tool, with the application's
// alert shown on top. Every change goes through the profile store.
class AdminView : public QWidget {
public:
    static constexpr QSize windowSize{1280, 720};

    AdminView(AppModel& appModel, Prompter& prompter, QWidget* parent = nullptr);
    AdminView(AdminController::Sources sources, Prompter& prompter, QWidget* parent = nullptr);
    ~AdminView() override;

    AdminController& controller() { return *controller_; }
    ToolListModel& toolListModel() { return toolList_; }
    ToolInspector& inspector() { return *inspector_; }
    // The toggle editor while it is open.
    ToggleEditorSheet* toggleEditor() const { return toggleSheet_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void build();
    void render(const AdminController::State& state);
    void renderToggleEditor(const AdminController::State& state);
    void placeToast();

    std::unique_ptr<AdminController> controller_;
    ToolListModel toolList_;
    QWidget* content_ = nullptr;
    AdminToolbar* toolbar_ = nullptr;
    AdminPacsProfileSection* pacsSection_ = nullptr;
    QLineEdit* search_ = nullptr;
    QListView* list_ = nullptr;
    ScrollAnchor* listAnchor_ = nullptr;
    ToolsListRow* delegate_ = nullptr;
    ToolInspector* inspector_ = nullptr;
    AlertBanner* toast_ = nullptr;
    SheetHost* toggleDialog_ = nullptr;
    ToggleEditorSheet* toggleSheet_ = nullptr;
    quint64 shownToggleSerial_ = 0;
    std::optional<QUuid> scrolledTo_;
    Subscription subscription_;
};

} // namespace velmor
