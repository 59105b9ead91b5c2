#pragma once

#include "model/IconRenderer.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>

namespace velmor {

// IconRenderer::render as an await: resumes on the main queue with the outcome, which
// the renderer has already told the user about when it is a failure. Never throws.
QCoro::Task<IconRenderResult> renderIcon(IconRenderer& renderer, QByteArray document, int side, QString name);

} // namespace velmor
