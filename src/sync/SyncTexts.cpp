#include "sync/SyncTexts.h"

namespace velmor::synctext {

QString quotedList(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names)
        quoted.append(u'“' + name + u'”');
    return quoted.join(QStringLiteral(", "));
}

} // namespace velmor::synctext
