#include "ui/admin/widgets/AlertToast.h"

#include "ui/admin/widgets/AdminStyle.h"
#include "ui/shared/Theme.h"
#include "ui/shared/SymbolIcons.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmor {

using Severity = AppModel::AlertMessage::Severity;

AlertToast::AlertToast(std::function<void()> onClose, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("alertToast"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(12);
    icon_ = new QLabel(this);
    icon_->setFixedSize(22, 22);
    row->addWidget(icon_);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    title_ = static_cast<QLabel*>(admin::label({}, Theme::TextStyle::headline, Qt::white, true, this));
    title_->setObjectName(QStringLiteral("alertTitle"));
    message_ = static_cast<QLabel*>(admin::label({}, Theme::TextStyle::caption, Theme::gray(), false, this));
    message_->setObjectName(QStringLiteral("alertMessage"));
    message_->setWordWrap(true);
    texts->addWidget(title_);
    texts->addWidget(message_);
    row->addLayout(texts, 1);
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("closeAlert"));
    close->setAutoRaise(true);
    close->setIcon(SymbolIcons::instance().icon(QStringLiteral("xmark.circle.fill"), Theme::gray()));
    close->setIconSize(QSize(18, 18));
    row->addWidget(close);
    connect(close, &QToolButton::clicked, this, [onClose = std::move(onClose)] {
        if (onClose)
            onClose();
    });
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(Theme::withOpacity(Qt::black, 0.3));
    shadow->setBlurRadius(10);
    shadow->setOffset(0, 5);
    setGraphicsEffect(shadow);
}

QString AlertToast::symbol(Severity severity)
{
    switch (severity) {
    case Severity::error: return QStringLiteral("xmark.circle.fill");
    case Severity::warning: return QStringLiteral("exclamationmark.triangle.fill");
    case Severity::info: return QStringLiteral("info.circle.fill");
    case Severity::success: return QStringLiteral("checkmark.circle.fill");
    }
    return QStringLiteral("info.circle.fill");
}

QColor AlertToast::colour(Severity severity)
{
    switch (severity) {
    case Severity::error: return Theme::red();
    case Severity::warning: return Theme::orange();
    case Severity::info: return Theme::blue();
    case Severity::success: return Theme::green();
    }
    return Theme::blue();
}

void AlertToast::show(const AppModel::AlertMessage& alert)
{
    icon_->setPixmap(SymbolIcons::instance().pixmap(symbol(alert.severity), 22, colour(alert.severity),
                                                    devicePixelRatioF()));
    title_->setText(alert.title);
    message_->setText(alert.message);
    message_->setVisible(!alert.message.isEmpty());
    QWidget::show();
}

void AlertToast::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    painter.fillPath(shape, QColor(30, 30, 34));
    painter.strokePath(shape, QPen(Theme::withOpacity(Qt::white, 0.08), 1));
}

} // namespace velmor
