#include "ui/shared/widgets/ToolIconView.h"

#include "model/CustomIconLibrary.h"
#include "ui/shared/SymbolIcons.h"

#include <QAbstractItemView>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace velmor {

namespace {

// The image's shape (its alpha) filled with one colour.
QImage tinted(const QImage& image, const QColor& color)
{
    QImage shape = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(shape.rect(), color);
    return shape;
}

// Runs `onArrival` with the file name of each custom icon image that arrives (empty: every
// image went); lives as long as its owner.
class ArrivalWatch : public QObject {
public:
    ArrivalWatch(QObject* owner, std::function<void(const QString&)> onArrival) : QObject(owner)
    {
        bool before = true; // the first call is the value from before
        subscription_ = CustomIconLibrary::shared().lastArrival().subscribe(
            [before, onArrival = std::move(onArrival)](const QString& fileName) mutable {
                if (!std::exchange(before, false))
                    onArrival(fileName);
            });
    }

private:
    Subscription subscription_;
};

bool showsArrival(const ToolIconSelection& icon, const QString& fileName)
{
    return fileName.isEmpty() || (icon.source == ToolIconSource::custom && icon.name == fileName);
}

} // namespace

void ToolIconView::repaintRowsWhenImagesArrive(QAbstractItemView* list, IconOf iconOf)
{
    new ArrivalWatch(list, [list, iconOf = std::move(iconOf)](const QString& fileName) { // owned by `list`
        if (fileName.isEmpty()) {
            list->viewport()->update();
            return;
        }
        const QRect view = list->viewport()->rect();
        QModelIndex row = list->indexAt(QPoint(view.center().x(), 1));
        if (!row.isValid()) // between two rows at the top: from the first
            row = list->model()->index(0, 0, list->rootIndex());
        for (; row.isValid(); row = row.siblingAtRow(row.row() + 1)) {
            if (list->visualRect(row).top() > view.bottom())
                break;
            if (showsArrival(iconOf(row), fileName))
                list->update(row);
        }
    });
}

ToolIconView::ToolIconView(const RadiologyTool& tool, int size, QWidget* parent)
    : ToolIconView(toolIconSelection(tool), tool.systemIcon, size, parent)
{
}

ToolIconView::ToolIconView(ToolIconSelection selection, std::optional<QString> fallbackSystemName, int size,
                           QWidget* parent)
    : QWidget(parent), selection_(std::move(selection)), fallback_(std::move(fallbackSystemName)), size_(size)
{
    setFixedSize(size_, size_);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    new ArrivalWatch(this, [this](const QString& fileName) { // owned by the view
        if (showsArrival(selection_, fileName))
            update();
    });
}

void ToolIconView::setTool(const RadiologyTool& tool) { setSelection(toolIconSelection(tool), tool.systemIcon); }

void ToolIconView::setSelection(ToolIconSelection selection, std::optional<QString> fallbackSystemName)
{
    if (selection == selection_ && fallbackSystemName == fallback_)
        return;
    selection_ = std::move(selection);
    fallback_ = std::move(fallbackSystemName);
    update();
}

void ToolIconView::setIconSize(int size)
{
    size_ = size;
    setFixedSize(size_, size_);
    update();
}

void ToolIconView::setColor(std::optional<QColor> color)
{
    color_ = std::move(color);
    update();
}

void ToolIconView::setIconOpacity(qreal opacity)
{
    opacity_ = opacity;
    update();
}

void ToolIconView::paint(QPainter& painter, const QRectF& rect, const ToolIconImage& image, const QColor& color)
{
    const qreal side = std::min(rect.width(), rect.height());
    if (side <= 0)
        return;
    const QRectF square(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    if (!image.customImage) {
        SymbolIcons::instance().paint(painter, square, image.symbol, color);
        return;
    }
    const QImage& source = *image.customImage;
    if (source.isNull())
        return;
    QSizeF fitted = QSizeF(source.size()).scaled(square.size(), Qt::KeepAspectRatio);
    const QRectF target(square.center().x() - fitted.width() / 2, square.center().y() - fitted.height() / 2,
                        fitted.width(), fitted.height());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, tinted(source, color));
    painter.restore();
}

void ToolIconView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity_);
    paint(painter, QRectF(rect()), image(), color_.value_or(palette().color(QPalette::WindowText)));
}

} // namespace velmor
