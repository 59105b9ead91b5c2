#pragma once

#include "input/RawHIDSample.h"
#include "platform/Published.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <limits>
#include <optional>

namespace velmor {

// One line of the application log.
struct LogEntry {
    QUuid id;
    QDateTime timestamp;
    // A line written again soon after is gathered into one entry: the message then ends
    // with " ×N" and the timestamp is the latest one's.
    QString message;
    int repeats = 1;
};

} // namespace velmor

// Moved as bytes when the capped log shifts.
Q_DECLARE_TYPEINFO(velmor::LogEntry, Q_RELOCATABLE_TYPE);

namespace velmor {

// The alert the windows show as a banner.
struct AlertMessage {
    enum class Severity { error, warning, info, success };

    QUuid id;
    QString title;
    QString message;
    Severity severity = Severity::error;
};

// The three feeds the windows show: the log, the current alert and the raw HID
// samples. Main thread.
class ActivityFeeds {
public:
    static constexpr int logLimit = 200;
    // A line written again right after itself is gathered into one entry; a line that
    // comes in storms (a push) also when it equals one of the newest gatherWithin lines
    // (moved to the end, counted), so a storm does not push out the others.
    static constexpr int gatherWithin = 16;
    enum class Gathering { consecutive, recent };
    static constexpr int hidSampleLimit = 400;

    // Oldest first, the newest logLimit.
    const Published<QList<LogEntry>>& logs() const { return logs_; }
    const Published<std::optional<AlertMessage>>& alertMessage() const { return alertMessage_; }
    // Oldest first, the newest hidSampleLimit.
    const Published<QList<RawHIDSample>>& hidEvents() const { return hidEvents_; }

    // Control and bidi characters of the message are written visibly (text::visibleControls).
    // A repeat is gathered into the line it repeats (see gatherWithin).
    void appendLog(const QString& message, Gathering gathering = Gathering::consecutive);
    void clearLogs();
    // Also writes "[<severity>] <title>: <message>" to the log.
    void presentAlert(const QString& title, const QString& message, AlertMessage::Severity severity);
    // Clears the alert only while it is still the one with `alertId`.
    void dismissAlert(const QUuid& alertId);
    // A store notice: an alert whose severity its title tells, or only a log
    // line for the sync's subscription housekeeping.
    void handleStoreMessage(const QString& title, const QString& message);
    void appendHIDSample(const RawHIDSample& sample);
    void clearHIDEvents();

private:
    // The current UTC time.
    QDateTime now();

    Published<QList<LogEntry>> logs_;
    Published<std::optional<AlertMessage>> alertMessage_;
    Published<QList<RawHIDSample>> hidEvents_;
    QDateTime now_;
    qint64 nowMSecs_ = std::numeric_limits<qint64>::min(); // no date made yet
};

} // namespace velmor
