#pragma once

#include "core/ActivityFeeds.h"
#include "input/ConnectedDeviceInfo.h"
#include "model/ButtonMapping.h"
#include "model/DeviceButton.h"
#include "model/RadiologyTool.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

// The texts the mapping window builds from data: shortcut texts, tooltips, the
// save state, the event log's lines.
namespace velmor::mappingText {

// The modifier glyphs then the key text upper-cased ("⇧⌘K"); empty for a tool
// without a shortcut. Toggle steps are never shown.
QString shortcutText(const RadiologyTool& tool);

// A tool row's tooltip: "Name: ⌘K • Mapped to K01" or "Name: No shortcut • Unmapped",
// its names cut to a tooltip's room (ToolTipRoom).
QString toolHelp(const RadiologyTool& tool, const std::optional<ButtonMapping>& mapping);

// A canvas button's tooltip: "Button <label>: <tool>" or "Button <label>: Unmapped"
// (also for a mapping whose tool is gone), its names cut to a tooltip's room.
QString canvasButtonHelp(const DeviceButton& button, const std::optional<RadiologyTool>& tool);

// "Saved " and the time of day in the locale's short form, or "Not saved yet".
QString savedText(const std::optional<QDateTime>& lastSaved, const QLocale& locale = QLocale());

// A device type as the toolbar shows it: each word capitalised, the rest lower case.
QString capitalized(const QString& text);

// The name a connected-device row shows: product name, else template id, else "Unknown".
QString connectedDeviceName(const ConnectedDeviceInfo& device);

// A log line's time as a row shows it: hours and minutes, local time.
QString logRowTime(const QDateTime& timestamp, const QLocale& locale = QLocale());

// The locale's time of day with seconds ("2:03:07 PM", "14:03:07"), local time.
QString mediumTime(const QDateTime& timestamp, const QLocale& locale = QLocale());

// The event log as copied: one "<time with seconds> <message>" line per entry,
// newest first, joined with "\n" and no line break at the end.
QString eventLogText(const QList<LogEntry>& logs, const QLocale& locale = QLocale());

} // namespace velmor::mappingText
