#include "core/ActivityFeeds.h"

#include "platform/RandomUuid.h"
#include "platform/Text.h"

namespace velmor {

namespace {

QString caseName(AlertMessage::Severity severity)
{
    using Severity = AlertMessage::Severity;
    switch (severity) {
    case Severity::error:
        return QStringLiteral("error");
    case Severity::warning:
        return QStringLiteral("warning");
    case Severity::info:
        return QStringLiteral("info");
    case Severity::success:
        return QStringLiteral("success");
    }
    return QStringLiteral("error");
}

// Appends and drops the oldest entries beyond `limit`.
template <typename T, typename Item>
void appendCapped(Published<QList<T>>& feed, Item&& item, qsizetype limit)
{
    feed.mutateInPlace([&](QList<T>& list) {
        list.emplaceBack(std::forward<Item>(item));
        if (list.size() > limit)
            list.remove(0, list.size() - limit);
    });
}

QString repeatsSuffix(int repeats) { return QStringLiteral(" \u00D7") + QString::number(repeats); }

// The line an entry gathers, without its count.
QStringView gatheredLine(const LogEntry& entry)
{
    const QStringView message(entry.message);
    return entry.repeats > 1 ? message.chopped(repeatsSuffix(entry.repeats).size()) : message;
}

} // namespace

void ActivityFeeds::appendLog(const QString& message, Gathering gathering)
{
    // Every key press logs: ids come from the thread's generator, not a system call each.
    // A line is one line: names and details from outside cannot start another or
    // reorder this one, on screen or in the copied log.
    QString line = text::visibleControls(message);
    logs_.mutateInPlace([&](QList<LogEntry>& list) {
        int repeats = 1;
        const qsizetype within = gathering == Gathering::recent ? gatherWithin : 1;
        for (qsizetype i = list.size() - 1; i >= std::max<qsizetype>(0, list.size() - within); --i) {
            if (list[i].message.size() >= line.size() && gatheredLine(list[i]) == line) {
                repeats = list[i].repeats + 1;
                list.remove(i);
                break;
            }
        }
        // A new id: the line moved to the end is a new row for the views.
        list.emplaceBack(LogEntry{randomUuid(), now(), repeats > 1 ? line + repeatsSuffix(repeats) : line, repeats});
        if (list.size() > logLimit)
            list.remove(0, list.size() - logLimit);
    });
}

QDateTime ActivityFeeds::now()
{
    // Lines of one batch share their millisecond: the date is made once for it.
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    if (msecs != nowMSecs_) {
        now_ = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
        nowMSecs_ = msecs;
    }
    return now_;
}

void ActivityFeeds::presentAlert(const QString& title, const QString& message, AlertMessage::Severity severity)
{
    alertMessage_.set(AlertMessage{QUuid::createUuid(), title, message, severity});
    appendLog('[' + caseName(severity) + QStringLiteral("] ") + title + QStringLiteral(": ") + message);
}

void ActivityFeeds::dismissAlert(const QUuid& alertId)
{
    const auto& current = alertMessage_.get();
    if (current && current->id == alertId)
        alertMessage_.set(std::nullopt);
}

void ActivityFeeds::handleStoreMessage(const QString& title, const QString& message)
{
    // The sync's subscription housekeeping is worth a log line, not an alert.
    if (title == QStringLiteral("Cloud Sync") && message.toLower().contains(QStringLiteral("subscription"))) {
        appendLog(title + QStringLiteral(": ") + message);
        return;
    }
    using Severity = AlertMessage::Severity;
    Severity severity = Severity::error;
    if (title.contains(QStringLiteral("Success")))
        severity = Severity::success;
    else if (title.contains(QStringLiteral("Warning")))
        severity = Severity::warning;
    else if (title.contains(QStringLiteral("Restored")))
        severity = Severity::info;
    presentAlert(title, message, severity);
}

void ActivityFeeds::appendHIDSample(const RawHIDSample& sample) { appendCapped(hidEvents_, sample, hidSampleLimit); }

void ActivityFeeds::clearHIDEvents() { hidEvents_.set({}); }

void ActivityFeeds::clearLogs() { logs_.set({}); }

} // namespace velmor
