#include "ui/shared/PlainText.h"

#include "platform/Text.h"
#include "platform/TextEnds.h"
#include "ui/shared/NameFit.h"

#include <QFontMetricsF>
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

QString paintedName(const QString& name, const QFontMetricsF& metrics, qreal width)
{
    return nameFit::fitted(text::shownEnds(name), metrics, width);
}

} // namespace velmor::plainText
