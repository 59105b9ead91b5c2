#pragma once

#include "ui/mapping/MappingController.h"

#include <QWidget>

#include <memory>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListView;

namespace velmor {

class FocusReporter;
class NiceButton;
class MappingToolListModel;
namespace mappingViews {
class Dot;
}

// The mappings mode's panel: "Tools", the search field ("toolSearch") and the
// category filter ("filter-all", "filter-viewer", …), the grouped tool list
// ("toolList", rows draggable as "tool:<UUID>"), the quick actions ("swap",
// "copy") and the status line ("buttonStatus").
class MappingsPanel : public QWidget {
public:
    explicit MappingsPanel(MappingController& controller, QWidget* parent = nullptr);
    ~MappingsPanel() override;

    QListView* toolList() const { return list_; }
    const MappingToolListModel& toolModel() const { return *model_; }

private:
    void render(const MappingController::State& state);

    MappingController& controller_;
    std::unique_ptr<MappingToolListModel> model_;
    QLineEdit* search_;
    FocusReporter* searchFocus_;
    QButtonGroup* filters_;
    QListView* list_;
    NiceButton* swap_;
    NiceButton* copy_;
    mappingViews::Dot* statusDot_;
    QLabel* status_;
    Subscription subscription_;
};

} // namespace velmor
