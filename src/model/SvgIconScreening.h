#pragma once

#include <QByteArray>

namespace velmor {

// One streaming pass over an icon before any renderer sees it. A document passes when it is
// well-formed XML with an <svg> root within SvgIconLimits, when drawing it with every <use>
// expanded costs no more than a plain document at those limits would, and when nothing in it
// can make the renderer read outside the document: references point into it, embedded
// images are PNG or JPEG data of bounded size, and no style sheet import, processing
// instruction, external entity or SVG font is let in. Text areas and dashed strokes, whose
// cost does not follow from the document's size, are refused too.
bool passesSvgIconScreening(const QByteArray& document);

} // namespace velmor
