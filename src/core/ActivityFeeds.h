#pragma once

#include "input/RawHIDSample.h"
#include "platform/Published.h"

#include <QDateTime>
#include <QHash>
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
    // Grows with each entry made, a gathered one included: what came after a given entry.
    quint64 serial = 0;
    // What keeps the entry beside the newest ordinary lines: 0 none, else its pinned group.
    int pin = 0;
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
    // Ordinary lines kept; pinned lines are kept beside them.
    static constexpr int logLimit = 200;
    // Start-up lines kept pinned: the first ones written before endStartUp().
    static constexpr int startUpLimit = 100;
    // Lines of one pinned pass kept pinned; the rest of the pass are ordinary lines.
    static constexpr int passLimit = 1000;
    // A line written again right after itself is gathered into one entry; a line that
    // comes in storms (a push) also when it equals one of the newest gatherWithin lines
    // (moved to the end, counted), so a storm does not push out the others.
    static constexpr int gatherWithin = 16;
    enum class Gathering { consecutive, recent };
    static constexpr int hidSampleLimit = 400;

    // Oldest first: the newest logLimit ordinary lines and the pinned ones among them.
    const Published<QList<LogEntry>>& logs() const { return logs_; }
    const Published<std::optional<AlertMessage>>& alertMessage() const { return alertMessage_; }
    // Oldest first, the newest hidSampleLimit.
    const Published<QList<RawHIDSample>>& hidEvents() const { return hidEvents_; }

    // Control and bidi characters of the message are written visibly (text::visibleControls).
    // A repeat is gathered into the line it repeats (see gatherWithin).
    void appendLog(const QString& message, Gathering gathering = Gathering::consecutive);
    // Also ends the start-up lines.
    void clearLogs();
    // Lines written from now on are ordinary; the start-up lines before stay.
    void endStartUp();
    // The lines of a pass a notice points to ("See the Event Log") stay, however many other
    // lines come, until the next pass of the same group begins: the earlier pass's lines
    // then become ordinary ones.
    void beginPass(const QString& group);
    // A line of the group's pass; the first passLimit of a pass are kept.
    void appendToPass(const QString& group, const QString& message);
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
    // Appends one entry pinned to `pin` (0: ordinary), gathered into an equal one among
    // the newest `within`.
    void append(const QString& message, qsizetype within, int pin);
    // Drops the oldest ordinary entries beyond logLimit.
    void cap(QList<LogEntry>& list) const;

    Published<QList<LogEntry>> logs_;
    Published<std::optional<AlertMessage>> alertMessage_;
    Published<QList<RawHIDSample>> hidEvents_;
    QDateTime now_;
    quint64 serial_ = 0;
    // Pinned entries in the log, of all groups.
    qsizetype pinned_ = 0;
    bool startingUp_ = true;
    int startUpLines_ = 0;
    // The start-up lines' pin; each pass group has one of its own above it.
    static constexpr int startUpPin = 1;
    struct Pass {
        int pin = 0;
        int lines = 0;
    };
    QHash<QString, Pass> passes_;
    qint64 nowMSecs_ = std::numeric_limits<qint64>::min(); // no date made yet
};

} // namespace velmor
