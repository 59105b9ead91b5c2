#pragma once

#include "ui/mapping/MappingController.h"

#include <QListView>
#include <QWidget>

#include <functional>
#include <memory>

namespace velmor {

class MappingToolListModel;
class MappingsQuickActions;
class MappingsSearchHeader;
class MappingsStatusIndicator;
class ScrollAnchor;

// The grouped tool list: one MappingsToolGroupSection per group, each tool
// drawn as a ToolListItem; rows drag as "tool:<UUID>".
class MappingsToolList : public QListView {
public:
    MappingsToolList(std::function<void(const RadiologyTool&)> onSelectTool,
                     std::function<void(const RadiologyTool&)> onToggleFavorite, QWidget* parent = nullptr);
    ~MappingsToolList() override;

    const MappingToolListModel& toolModel() const { return *model_; }
    void setTools(const QList<ToolGroup>& groupedTools, const std::optional<QUuid>& selectedToolId,
                  const QHash<QUuid, ButtonMapping>& toolMappings);

private:
    std::unique_ptr<MappingToolListModel> model_;
    ScrollAnchor* anchor_ = nullptr;
};

// The mappings mode's panel: "Tools", the search field ("toolSearch") and the
// category filter ("filter-all", "filter-viewer", …), the grouped tool list
// ("toolList"), the quick actions ("swap", "copy") and the status line
// ("buttonStatus").
class ContextPanelMappings : public QWidget {
public:
    // What the window runs for the panel's clicks.
    struct Actions {
        std::function<void(const RadiologyTool& tool)> onSelectTool;     // a tool row
        std::function<void(const RadiologyTool& tool)> onToggleFavorite; // a row's star
        std::function<void()> onSwap;
        std::function<void()> onCopy;
    };

    ContextPanelMappings(MappingController& controller, Actions actions, QWidget* parent = nullptr);
    ~ContextPanelMappings() override;

    QListView* toolList() const { return list_; }
    const MappingToolListModel& toolModel() const { return list_->toolModel(); }

private:
    void render(const MappingController::State& state);

    MappingController& controller_;
    Actions actions_;
    MappingsSearchHeader* searchHeader_;
    MappingsToolList* list_;
    MappingsQuickActions* quickActions_;
    MappingsStatusIndicator* status_;
    Subscription subscription_;
};

} // namespace velmor
