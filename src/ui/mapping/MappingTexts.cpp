#include "ui/mapping/MappingTexts.h"

#include "ui/shared/TimeText.h"
#include "ui/shared/ToolTipRoom.h"

#include <QStringList>

namespace velmor::mappingText {

QString shortcutText(const RadiologyTool& tool) { return tool.shortcut ? tool.shortcut->displayText() : QString(); }

QString toolHelp(const RadiologyTool& tool, const std::optional<ButtonMapping>& mapping)
{
    const QString shortcut = tool.shortcut ? shortcutText(tool) : QStringLiteral("No shortcut");
    using Piece = ToolTipRoom::Piece;
    QList<Piece> line{ToolTipRoom::name(tool.name), Piece{QStringLiteral(": ") + shortcut}};
    if (mapping)
        line << Piece{QStringLiteral(" • Mapped to ")} << ToolTipRoom::name(mapping->buttonId);
    else
        line << Piece{QStringLiteral(" • Unmapped")};
    return ToolTipRoom().line(line);
}

QString canvasButtonHelp(const DeviceButton& button, const std::optional<RadiologyTool>& tool)
{
    using Piece = ToolTipRoom::Piece;
    QList<Piece> line{Piece{QStringLiteral("Button ")}, ToolTipRoom::name(button.displayLabel), Piece{QStringLiteral(": ")}};
    line << (tool ? ToolTipRoom::name(tool->name) : Piece{QStringLiteral("Unmapped")});
    return ToolTipRoom().line(line);
}

QString savedText(const std::optional<QDateTime>& lastSaved, const QLocale& locale)
{
    if (!lastSaved)
        return QStringLiteral("Not saved yet");
    return QStringLiteral("Saved ") + timeText::hoursMinutes(*lastSaved, locale);
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
    return timeText::hoursMinutes(timestamp, locale);
}

QString mediumTime(const QDateTime& timestamp, const QLocale& locale)
{
    return timeText::withSeconds(timestamp, locale);
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
