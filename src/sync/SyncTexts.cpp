#include "sync/SyncTexts.h"

#include <algorithm>

namespace velmor::synctext {

QString quotedList(const QStringList& names)
{
    constexpr qsizetype shown = 10;
    QStringList quoted;
    for (const QString& name : names.first(std::min(shown, names.size())))
        quoted.append(u'“' + name + u'”');
    QString text = quoted.join(QStringLiteral(", "));
    if (names.size() > shown)
        text += QStringLiteral(" and %1 more").arg(names.size() - shown);
    return text;
}

} // namespace velmor::synctext
