#include "ui/shared/PlainText.h"

#include "platform/Text.h"
#include "platform/TextEnds.h"
#include "ui/shared/NameFit.h"

#include <QFontMetricsF>
#include <QTextDocument>

#include <algorithm>

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

namespace {

constexpr char16_t wordJoiner = 0x2060;
constexpr char16_t noBreakSpace = 0x00A0;

// No break opportunity between any two characters of `text`.
QString joined(const QString& text)
{
    QString result;
    result.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i > 0 && !text[i].isLowSurrogate())
            result += QChar(wordJoiner);
        result += text[i] == u' ' ? QChar(noBreakSpace) : text[i];
    }
    return result;
}

} // namespace

QString unbrokenPaths(const QString& message, const QFontMetricsF& metrics, qreal width)
{
    QString result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype open = message.indexOf(u'“', from);
        const qsizetype close = open < 0 ? -1 : message.indexOf(u'”', open + 1);
        if (close < 0)
            break;
        QString inside = message.mid(open + 1, close - open - 1);
        result += QStringView(message).mid(from, open + 1 - from);
        if (inside.contains(u'/')) {
            const qreal room = width - metrics.horizontalAdvance(QStringLiteral("“”"));
            if (metrics.horizontalAdvance(inside) > room)
                inside = metrics.elidedText(inside, Qt::ElideMiddle, std::max<qreal>(room, 0));
            inside = joined(inside);
        }
        result += inside;
        from = close;
    }
    result += QStringView(message).mid(from);
    return result;
}

} // namespace velmor::plainText
