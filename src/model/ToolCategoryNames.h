#pragma once

#include "model/RadiologyTool.h"

#include <QString>

namespace velmor {

// The category a tool's name implies: the reporting and mammography tools of the
// catalogue and of older versions by name (in any letter case), every other tool a
// viewer tool. Used only for tools whose data names no category.
ToolCategory categoryForToolName(const QString& name);

} // namespace velmor
