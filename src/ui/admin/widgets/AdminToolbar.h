#pragma once

#include <QWidget>

#include <functional>

class QPushButton;

namespace velmor {

// The strip at the top of the window: its title and the buttons that create,
// duplicate and delete tools and create PACS profiles. Each button only calls its
// action; "Duplicate" and "Delete" work only while a tool is selected.
class AdminToolbar : public QWidget {
public:
    struct Actions {
        std::function<void()> onNewTool;
        std::function<void()> onNewToggle;
        std::function<void()> onNewPacs;
        std::function<void()> onDuplicate;
        std::function<void()> onDelete;
    };

    explicit AdminToolbar(Actions actions, QWidget* parent = nullptr);

    void setCanEditTool(bool canEdit);

private:
    QPushButton* duplicate_;
    QPushButton* delete_;
};

// A panel's two-line title.
class AdminPanelHeader : public QWidget {
public:
    AdminPanelHeader(const QString& title, const QString& subtitle, QWidget* parent = nullptr);
};

} // namespace velmor
