#include "ui/shared/TimeText.h"

#include <QRegularExpression>

namespace velmor::timeText {

namespace {

// The locale's short time format, with or without seconds whatever the locale's own has.
QString timeFormat(const QLocale& locale, bool seconds)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression secondsField(QStringLiteral("[:.]?s+"));
    format.remove(secondsField);
    if (seconds) {
        // Seconds follow the minutes with the separator the locale puts before the minutes.
        const qsizetype minutes = format.indexOf(QLatin1String("mm"));
        if (minutes >= 0) {
            const QChar separator = minutes > 0 && !format.at(minutes - 1).isLetter() ? format.at(minutes - 1)
                                                                                       : QLatin1Char(':');
            format.insert(minutes + 2, separator + QStringLiteral("ss"));
        }
    }
    return format;
}

} // namespace

QString hoursMinutes(const QDateTime& timestamp, const QLocale& locale)
{
    return locale.toString(timestamp.toLocalTime().time(), timeFormat(locale, false));
}

QString withSeconds(const QDateTime& timestamp, const QLocale& locale)
{
    return locale.toString(timestamp.toLocalTime().time(), timeFormat(locale, true));
}

} // namespace velmor::timeText
