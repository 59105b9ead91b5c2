#pragma once

#include "ui/mapping/MappingController.h"

#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace velmor {

class EventLogModel;
class FocusReporter;
class GlassCard;
class MappingListModel;
class MappingListRowsMaker;
struct MappingListRow;
class ScrollAnchor;
class NiceButton;
namespace mappingViews {
class Badge;
}

// The right column: the "Current Mappings" card (count "mappingCount", filter
// "mappingFilter", list "mappingList" or the empty state with "loadExample")
// and the "Event Log" card ("toggleLog", "copyLog", "clearLog", "logList").
class RightColumn : public QWidget {
public:
    explicit RightColumn(MappingController& controller, QWidget* parent = nullptr);
    ~RightColumn() override;

    QListView* mappingList() const { return mappings_; }
    const MappingListModel& mappingModel() const { return *mappingModel_; }
    const EventLogModel& logModel() const { return *logModel_; }
    GlassCard* logCard() const { return logCard_; }

private:
    QWidget* mappingsCard();
    QWidget* eventLogCard();
    void render(const MappingController::State& state);
    void renderLog(const MappingController::State& state);
    void scrollToButton(const MappingController::State& state, const QString& buttonId);
    // The made rows of the current mappings arrive.
    void showMappingRows(QList<MappingListRow> rows, qsizetype count);
    // The list, or the empty state when it has no rows.
    void showListOrEmpty();

    MappingController& controller_;
    std::unique_ptr<MappingListModel> mappingModel_;
    std::unique_ptr<EventLogModel> logModel_;
    mappingViews::Badge* count_ = nullptr;
    QLineEdit* filter_ = nullptr;
    FocusReporter* filterFocus_ = nullptr;
    QStackedWidget* listOrEmpty_ = nullptr;
    QListView* mappings_ = nullptr;
    QLabel* emptyTitle_ = nullptr;
    QLabel* emptySubtitle_ = nullptr;
    NiceButton* loadExample_ = nullptr;
    GlassCard* logCard_ = nullptr;
    QVBoxLayout* logLayout_ = nullptr;
    QToolButton* logToggle_ = nullptr;
    NiceButton* copyLog_ = nullptr;
    NiceButton* clearLog_ = nullptr;
    QListView* logList_ = nullptr;
    bool rendered_ = false;
    std::optional<QString> lastPressed_;
    std::optional<QString> selected_;
    // What the mapping list's rows were made from: the same again makes none.
    struct ListSources {
        QList<ButtonMapping> mappings;
        PacsProfile pacs;
        QString search;
        bool operator==(const ListSources&) const = default;
    };
    std::optional<ListSources> listSources_;
    std::unique_ptr<MappingListRowsMaker> rowsMaker_;
    ScrollAnchor* mappingsAnchor_ = nullptr;
    bool filtering_ = false;
    Subscription subscription_;
};

} // namespace velmor
