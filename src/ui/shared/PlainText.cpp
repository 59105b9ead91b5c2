#include "ui/shared/PlainText.h"

#include <QTextDocument>

namespace velmor::plainText {

QString toolTip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text) : text;
}

QString actionText(const QString& text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace velmor::plainText
