#include "ui/mapping/widgets/AlertBanner.h"

#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/SymbolIcons.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QPainter>

namespace velmor {

using namespace mappingViews;

AlertBanner::AlertBanner(std::function<void()> onDismiss, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(12);
    icon_ = new QLabel;
    icon_->setFixedSize(22, 22);
    layout->addWidget(icon_);
    auto* texts = column(4);
    title_ = textLabel({}, Style::headline, Qt::white);
    title_->setObjectName(QStringLiteral("alertTitle"));
    message_ = textLabel({}, Style::caption, Theme::gray());
    message_->setObjectName(QStringLiteral("alertMessage"));
    message_->setWordWrap(true);
    texts->addWidget(title_);
    texts->addWidget(message_);
    layout->addLayout(texts, 1);
    auto* close = new SymbolButton(QStringLiteral("xmark.circle.fill"), Theme::gray(), 20);
    close->setObjectName(QStringLiteral("dismissAlert"));
    QObject::connect(close, &QAbstractButton::clicked, this, [onDismiss = std::move(onDismiss)] { onDismiss(); });
    layout->addWidget(close);

    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, 77));
    shadow->setBlurRadius(20);
    shadow->setOffset(0, 5);
    setGraphicsEffect(shadow);
}

QString AlertBanner::symbolOf(AlertMessage::Severity severity)
{
    switch (severity) {
    case AlertMessage::Severity::error:
        return QStringLiteral("xmark.circle.fill");
    case AlertMessage::Severity::warning:
        return QStringLiteral("exclamationmark.triangle.fill");
    case AlertMessage::Severity::info:
        return QStringLiteral("info.circle.fill");
    case AlertMessage::Severity::success:
        break;
    }
    return QStringLiteral("checkmark.circle.fill");
}

QColor AlertBanner::colourOf(AlertMessage::Severity severity)
{
    switch (severity) {
    case AlertMessage::Severity::error:
        return Theme::red();
    case AlertMessage::Severity::warning:
        return Theme::orange();
    case AlertMessage::Severity::info:
        return Theme::blue();
    case AlertMessage::Severity::success:
        break;
    }
    return Theme::green();
}

void AlertBanner::setAlert(const AlertMessage& alert)
{
    icon_->setPixmap(SymbolIcons::instance().pixmap(symbolOf(alert.severity), 22, colourOf(alert.severity),
                                                    devicePixelRatioF()));
    title_->setText(alert.title);
    message_->setText(alert.message);
}

void AlertBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2a, 0x2a, 0x30)); // the control background of the dark look
    painter.drawRoundedRect(QRectF(rect()), 12, 12);
}

} // namespace velmor
