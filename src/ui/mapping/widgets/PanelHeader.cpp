#include "ui/mapping/widgets/PanelHeader.h"

#include "ui/mapping/widgets/ViewParts.h"

#include <QVBoxLayout>

namespace velmor {

using namespace mappingViews;

PanelHeader::PanelHeader(const QString& title, const QString& subtitle, QWidget* parent) : QWidget(parent)
{
    auto* layout = column(this, 4);
    auto* titleLabel = textLabel(title, Style::headline, Qt::white);
    titleLabel->setObjectName(QStringLiteral("panelTitle"));
    layout->addWidget(titleLabel);
    if (!subtitle.isEmpty()) {
        auto* subtitleLabel = textLabel(subtitle, Style::caption, Theme::gray());
        subtitleLabel->setObjectName(QStringLiteral("panelSubtitle"));
        layout->addWidget(subtitleLabel);
    }
}

} // namespace velmor
