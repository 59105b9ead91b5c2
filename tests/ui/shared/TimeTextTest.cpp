#include "ui/devices/HIDSampleText.h"
#include "ui/shared/TimeText.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace velmor {
namespace {

QDateTime localTime(int hour, int minute, int second)
{
    return QDateTime(QDate(2024, 3, 1), QTime(hour, minute, second)).toUTC();
}

// Restores the process's default locale when the test ends.
struct DefaultLocale {
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(saved); }
    QLocale saved = QLocale();
};

TEST(TimeTextTest, HoursAndMinutesEvenWhereTheShortFormCarriesSeconds)
{
    const QLocale c = QLocale::c();
    ASSERT_TRUE(c.timeFormat(QLocale::ShortFormat).contains(QLatin1Char('s'))) << "the case this guards";
    EXPECT_EQ(timeText::hoursMinutes(localTime(9, 41, 0), c), "09:41");
    EXPECT_EQ(timeText::withSeconds(localTime(9, 41, 7), c), "09:41:07");

    const QLocale american(QLocale::English, QLocale::UnitedStates);
    const QString shortUs = timeText::hoursMinutes(localTime(21, 41, 7), american);
    EXPECT_TRUE(shortUs.startsWith(QStringLiteral("9:41")) && shortUs.contains(QStringLiteral("PM")))
        << shortUs.toStdString();
    EXPECT_FALSE(shortUs.contains(QStringLiteral("07")));

    // Seconds take the locale's own separator ("9.41.07", never "9.41:07").
    const QLocale finnish(QLocale::Finnish, QLocale::Finland);
    const QString withSeconds = timeText::withSeconds(localTime(9, 41, 7), finnish);
    const QString minutesOnly = timeText::hoursMinutes(localTime(9, 41, 7), finnish);
    EXPECT_EQ(withSeconds, minutesOnly + minutesOnly.at(minutesOnly.size() - 3) + QStringLiteral("07"));
}

TEST(TimeTextTest, TheHidInspectorShowsHoursAndMinutesAndCopiesSeconds)
{
    const DefaultLocale c(QLocale::c());
    EXPECT_EQ(hidtext::shortTime(localTime(9, 41, 0)), "09:41");
    EXPECT_EQ(hidtext::mediumTime(localTime(9, 41, 7)), "09:41:07");
}

} // namespace
} // namespace velmor
