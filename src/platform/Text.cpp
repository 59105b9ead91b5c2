#include "platform/Text.h"

#include <QCollator>
#include <QLocale>

namespace velmor::text {

QString lowercased(const QString& s) { return s.toLower().normalized(QString::NormalizationForm_C); }

QString canonicalForm(const QString& s) { return s.normalized(QString::NormalizationForm_D); }

bool canonicallyEqual(const QString& a, const QString& b)
{
    return a == b || canonicalForm(a) == canonicalForm(b);
}

int localizedCaseInsensitiveCompare(const QString& a, const QString& b)
{
    // QCollator is not thread-safe to share; one per thread.
    thread_local QCollator collator = [] {
        QCollator c{QLocale()};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.compare(a, b);
}

} // namespace velmor::text
