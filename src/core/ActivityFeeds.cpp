#include "core/ActivityFeeds.h"

#include "platform/RandomUuid.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>

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

// The count a gathered entry ends with: " ×N". Written into the entry's own text, so
// that a flood of one line (a held key's dispatches) gathers without a new string each.
struct RepeatsSuffix {
    char digits[12];
    qsizetype length;

    explicit RepeatsSuffix(int repeats) : length(std::to_chars(digits, digits + sizeof digits, repeats).ptr - digits) {}
    qsizetype size() const { return 2 + length; }
    void appendTo(QString& text) const
    {
        text.append(QStringView(u" \u00D7"));
        text.append(QLatin1StringView(digits, length));
    }
};

// The line an entry gathers, without its count.
QStringView gatheredLine(const LogEntry& entry)
{
    const QStringView message(entry.message);
    return entry.repeats > 1 ? message.chopped(RepeatsSuffix(entry.repeats).size()) : message;
}

} // namespace

void ActivityFeeds::appendLog(const QString& message, Gathering gathering)
{
    const bool startUp = startingUp_ && startUpLines_ < startUpLimit;
    append(message, gathering == Gathering::recent ? gatherWithin : 1, startUp ? startUpPin : 0);
}

void ActivityFeeds::beginPass(const QString& group)
{
    Pass& pass = passes_[group];
    pass.lines = 0;
    if (pass.pin == 0) {
        pass.pin = startUpPin + int(passes_.size());
        return;
    }
    logs_.mutateInPlace([&](QList<LogEntry>& list) {
        for (LogEntry& entry : list)
            if (entry.pin == pass.pin) {
                entry.pin = 0;
                --pinned_;
            }
        cap(list);
    });
}

void ActivityFeeds::appendToPass(const QString& group, const QString& message)
{
    Pass& pass = passes_[group];
    if (pass.pin == 0)
        pass.pin = startUpPin + int(passes_.size());
    append(message, 0, pass.lines++ < passLimit ? pass.pin : 0);
}

void ActivityFeeds::endStartUp() { startingUp_ = false; }

void ActivityFeeds::append(const QString& message, qsizetype within, int pin)
{
    // Every key press logs: ids come from the thread's generator, not a system call each.
    // A line is one line: names and details from outside cannot start another or
    // reorder this one, on screen or in the copied log.
    logs_.mutateInPlace([&](QList<LogEntry>& list) {
        const auto gatheredAt = [&](QStringView line) {
            for (qsizetype i = list.size() - 1; i >= std::max<qsizetype>(0, list.size() - within); --i)
                if (list[i].message.size() >= line.size() && gatheredLine(list[i]) == line)
                    return i;
            return qsizetype(-1);
        };
        // A line in the log holds no control characters: a message equal to one needs
        // none written visibly, and a flood of one line is gathered without looking.
        qsizetype at = gatheredAt(message);
        QString line = message;
        if (at < 0) {
            line = text::visibleControls(message);
            if (!line.isSharedWith(message))
                at = gatheredAt(line);
        }
        LogEntry entry;
        if (at < 0) {
            entry.message = line;
            entry.pin = pin;
            if (pin == startUpPin)
                ++startUpLines_;
        } else {
            entry = std::move(list[at]);
            list.remove(at);
            // A pinned line gathers its repeats where it is kept.
            if (entry.pin == 0)
                entry.pin = pin;
            else
                --pinned_;
            entry.message.truncate(line.size());
            RepeatsSuffix(++entry.repeats).appendTo(entry.message);
        }
        if (entry.pin != 0)
            ++pinned_;
        // A new id and serial: the line moved to the end is a new row for the views.
        entry.id = randomUuid();
        entry.timestamp = now();
        entry.serial = ++serial_;
        list.emplaceBack(std::move(entry));
        cap(list);
    });
}

void ActivityFeeds::cap(QList<LogEntry>& list) const
{
    qsizetype excess = list.size() - pinned_ - logLimit;
    if (excess <= 0)
        return;
    // The oldest ordinary lines go; in a flood that is one a line, at the front or just after the start-up lines.
    if (pinned_ == 0) {
        list.remove(0, excess);
    } else if (excess == 1) {
        const auto oldest = std::find_if(list.cbegin(), list.cend(), [](const LogEntry& entry) { return entry.pin == 0; });
        list.remove(oldest - list.cbegin());
    } else {
        list.removeIf([&excess](const LogEntry& entry) { return entry.pin == 0 && excess-- > 0; });
    }
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

void ActivityFeeds::clearLogs()
{
    logs_.set({});
    pinned_ = 0;
    // What comes after the user's Clear is no start-up.
    startingUp_ = false;
}

} // namespace velmor
