#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace velmor::timeText {

// The time of day the windows show: local time in the locale's short form,
// hours and minutes only, even where that form carries seconds ("14:03", "2:03 PM").
QString hoursMinutes(const QDateTime& timestamp, const QLocale& locale = QLocale());
// The same with seconds after the minutes and no time zone ("14:03:07", "2:03:07 PM").
QString withSeconds(const QDateTime& timestamp, const QLocale& locale = QLocale());

} // namespace velmor::timeText
