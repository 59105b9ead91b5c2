#include "ui/shared/MenuColours.h"

#include "ui/shared/Contrast.h"

namespace velmor {

QColor MenuColours::background(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Base).lighter(108);
}

MenuColours MenuColours::of(const QPalette& palette)
{
    const QColor menu = background(palette);
    const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    return {contrast::legible(text, menu, 1.0, 7.0), contrast::legible(text, menu, 0.65, 6.0),
            contrast::legible(text, menu, 0.3, 3.0)};
}

} // namespace velmor
