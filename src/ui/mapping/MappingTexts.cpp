#include "ui/mapping/MappingTexts.h"

#include <QRegularExpression>
#include <QStringList>

namespace velmor::mappingText {

QString shortcutText(const RadiologyTool& tool) { return tool.shortcut ? tool.shortcut->displayText() : QString(); }

QString toolHelp(const RadiologyTool& tool, const std::optional<ButtonMapping>& mapping)
{
    const QString shortcut = tool.shortcut ? shortcutText(tool) : QStringLiteral("No shortcut");
    const QString where = mapping ? QStringLiteral(" • Mapped to ") + mapping->buttonId : QStringLiteral(" • Unmapped");
    return tool.name + QStringLiteral(": ") + shortcut + where;
}

QString canvasButtonHelp(const DeviceButton& button, const std::optional<RadiologyTool>& tool)
{
    return QStringLiteral("Button ") + button.displayLabel + QStringLiteral(": ") +
           (tool ? tool->name : QStringLiteral("Unmapped"));
}

namespace {

// The locale's short time format, with or without seconds whatever the locale's own has.
QString timeFormat(const QLocale& locale, bool seconds)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression secondsField(QStringLiteral("[:.]?s+"));
    format.remove(secondsField);
    if (seconds) {
        const qsizetype minutes = format.indexOf(QLatin1String("mm"));
        if (minutes >= 0)
            format.insert(minutes + 2, QStringLiteral(":ss"));
    }
    return format;
}

} // namespace

QString savedText(const std::optional<QDateTime>& lastSaved, const QLocale& locale)
{
    if (!lastSaved)
        return QStringLiteral("Not saved yet");
    return QStringLiteral("Saved ") + locale.toString(lastSaved->toLocalTime().time(), timeFormat(locale, false));
}

QString capitalized(const QString& text)
{
    QString result = text.toLower();
    bool wordStart = true;
    for (QChar& c : result) {
        if (c.isSpace()) {
            wordStart = true;
        } else if (wordStart) {
            c = c.toUpper();
            wordStart = false;
        }
    }
    return result;
}

QString connectedDeviceName(const ConnectedDeviceInfo& device)
{
    return device.productName.value_or(device.templateId.value_or(QStringLiteral("Unknown")));
}

QString logRowTime(const QDateTime& timestamp, const QLocale& locale)
{
    return locale.toString(timestamp.toLocalTime().time(), timeFormat(locale, false));
}

QString mediumTime(const QDateTime& timestamp, const QLocale& locale)
{
    // The short form with seconds after the minutes; the long form would add the zone.
    return locale.toString(timestamp.toLocalTime().time(), timeFormat(locale, true));
}

QString eventLogText(const QList<LogEntry>& logs, const QLocale& locale)
{
    QStringList lines;
    lines.reserve(logs.size());
    for (auto entry = logs.crbegin(); entry != logs.crend(); ++entry)
        lines.append(mediumTime(entry->timestamp, locale) + QLatin1Char(' ') + entry->message);
    return lines.join(QLatin1Char('\n'));
}

} // namespace velmor::mappingText
