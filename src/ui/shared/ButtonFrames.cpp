#include "ui/shared/ButtonFrames.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace velmor {

namespace {
constexpr int columns = 5;
constexpr double margin = 0.04;
constexpr double columnWidth = 0.184;
constexpr double usableHeight = 0.92;

// The first `limit` user-perceived characters of `text` and how many it has in
// all (counted up to limit + 1).
struct Graphemes {
    QString prefix;
    int count = 0;
};
Graphemes graphemes(const QString& text, int limit)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    Graphemes result;
    qsizetype end = 0;
    while (result.count <= limit) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            break;
        ++result.count;
        if (result.count <= limit)
            end = next;
    }
    result.prefix = text.left(end);
    return result;
}
} // namespace

NormalizedRect defaultButtonFrame(qsizetype index, qsizetype count)
{
    const auto rows = static_cast<qsizetype>(std::ceil(static_cast<double>(count) / columns));
    const double rowHeight = usableHeight / static_cast<double>(std::max<qsizetype>(rows, 1));
    const qsizetype column = index % columns;
    const qsizetype row = index / columns;
    return NormalizedRect{margin + static_cast<double>(column) * columnWidth,
                          margin + static_cast<double>(row) * rowHeight, 0.9 * columnWidth, 0.75 * rowHeight};
}

NormalizedRect resolvedButtonFrame(const Device& device, qsizetype index, const DeviceButtonRects& overrides,
                                   const ButtonRects& edits)
{
    const DeviceButton& button = device.buttons.at(index);
    if (const auto edited = edits.constFind(button.id); edited != edits.constEnd())
        return *edited;
    if (const auto rects = overrides.constFind(device.id); rects != overrides.constEnd())
        if (const auto rect = rects->constFind(button.id); rect != rects->constEnd())
            return *rect;
    if (button.overlayFrame)
        return *button.overlayFrame;
    return defaultButtonFrame(index, device.buttons.size());
}

QString compactButtonLabel(const DeviceButton& button, const QRectF& rect)
{
    const QString& label = button.displayLabel;
    if (rect.width() >= 70 && rect.height() >= 28)
        return label;
    const Graphemes head = graphemes(label, 4);
    if (head.count < 4)
        return label;
    const QString lower = label.toLower();
    if (lower.contains(QStringLiteral("wheel"))) {
        for (const QString& glyph : {QStringLiteral("↑"), QStringLiteral("↓"), QStringLiteral("⦿")})
            if (label.contains(glyph))
                return QStringLiteral("W") + glyph;
        return QStringLiteral("W");
    }
    if (lower.contains(QStringLiteral("thumb")))
        return QStringLiteral("Th");
    if (button.id.startsWith(QLatin1Char('K')))
        return QString(button.id).remove(QLatin1Char('K'));
    return head.prefix;
}

double layoutRatio(double width, double height)
{
    const double ratio = width / height;
    return std::isfinite(ratio) && ratio > 0 ? ratio : 1.0;
}

} // namespace velmor
