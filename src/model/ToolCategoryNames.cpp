#include "model/ToolCategoryNames.h"

#include "platform/Text.h"

#include <QSet>

namespace velmor {

namespace {

const QSet<QString>& reportingToolNames()
{
    static const QSet<QString> names{
        "mic on/off",
        "speech organization",
        "submit speech organization",
        "auto impression",
        "sign & next",
        "sign & close",
        "exam list",
        "skip exam",
        "custom template",
        "apply custom template",
        "default template",
        "apply default template",
        "paste findings from comparison report (speech organization)",
        "paste findings from comparison report (current report)",
        "report field down",
        "report field up",
        "first highlighted field",
        "first impression line",
    };
    return names;
}

const QSet<QString>& mammoToolNames()
{
    static const QSet<QString> names{
        "tomo vs. standard views",
        "current / comparison",
        "current rcc / lcc",
        "current rmlo / lmlo",
        "current rcc, rmlo / lcc, lmlo",
        "current rcc (comparison) / rcc",
        "current rmlo (comparison) / rmlo",
        "comparison lcc / current lcc",
        "comparison lmlo / current lmlo",
        "current rcc / rcc tomo",
        "current lcc tomo / lcc",
        "current rmlo / rmlo tomo",
        "current rmlo tomo / rmlo",
    };
    return names;
}

} // namespace

ToolCategory categoryForToolName(const QString& name)
{
    const QString key = text::lowercased(name);
    if (reportingToolNames().contains(key))
        return ToolCategory::reporting;
    if (mammoToolNames().contains(key))
        return ToolCategory::mammo;
    return ToolCategory::viewer;
}

} // namespace velmor
