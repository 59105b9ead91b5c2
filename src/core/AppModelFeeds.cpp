// The three feeds the windows show: the log, the current alert and the raw HID samples.
#include "core/AppModel.h"

namespace velmor {

namespace {

QString caseName(AppModel::AlertMessage::Severity severity)
{
    using Severity = AppModel::AlertMessage::Severity;
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
template <typename T>
void appendCapped(Published<QList<T>>& feed, const T& item, qsizetype limit)
{
    feed.mutateInPlace([&](QList<T>& list) {
        list.append(item);
        if (list.size() > limit)
            list.remove(0, list.size() - limit);
    });
}

} // namespace

void AppModel::appendLog(const QString& message)
{
    appendCapped(logs_, LogEntry{QUuid::createUuid(), QDateTime::currentDateTimeUtc(), message}, logLimit);
}

void AppModel::presentAlert(const QString& title, const QString& message, AlertMessage::Severity severity)
{
    alertMessage_.set(AlertMessage{QUuid::createUuid(), title, message, severity});
    appendLog('[' + caseName(severity) + QStringLiteral("] ") + title + QStringLiteral(": ") + message);
}

void AppModel::dismissAlert(const QUuid& alertId)
{
    const auto& current = alertMessage_.get();
    if (current && current->id == alertId)
        alertMessage_.set(std::nullopt);
}

void AppModel::handleStoreMessage(const QString& title, const QString& message)
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

void AppModel::appendHIDSample(const RawHIDSample& sample) { appendCapped(hidEvents_, sample, hidSampleLimit); }

void AppModel::clearHIDEvents() { hidEvents_.set({}); }

QStringList AppModel::hexByteStrings(const QByteArray& bytes)
{
    QStringList strings;
    strings.reserve(bytes.size());
    for (const char byte : bytes)
        strings.append(QStringLiteral("%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')));
    return strings;
}

} // namespace velmor
