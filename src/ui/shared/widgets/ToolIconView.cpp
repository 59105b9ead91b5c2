#include "ui/shared/widgets/ToolIconView.h"

#include "model/CustomIconLibrary.h"
#include "ui/shared/SymbolIcons.h"

#include <QPainter>

#include <algorithm>

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

// Repaints its widget whenever a custom icon's image arrives; lives as long as the widget.
class ArrivalWatch : public QObject {
public:
    ArrivalWatch(QWidget* target, std::function<void()> onArrival) : QObject(target)
    {
        subscription_ = CustomIconLibrary::shared().arrivals().subscribe(
            [onArrival = std::move(onArrival)](quint64) { onArrival(); });
    }

private:
    Subscription subscription_;
};

} // namespace

void ToolIconView::repaintWhenImagesArrive(QWidget* target, std::function<void()> onArrival)
{
    if (!onArrival)
        onArrival = [target] { target->update(); };
    new ArrivalWatch(target, std::move(onArrival)); // owned by `target`
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
    repaintWhenImagesArrive(this);
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
