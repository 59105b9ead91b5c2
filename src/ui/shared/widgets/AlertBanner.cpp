#include "ui/shared/widgets/AlertBanner.h"

#include "platform/Text.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/Theme.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmor {

namespace {

QLabel* textLabel(Theme::TextStyle style, const QColor& colour, bool bold, const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(bold ? Theme::boldFont(style) : Theme::font(style));
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

} // namespace

AlertBanner::AlertBanner(std::function<void()> onDismiss, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("alertBanner"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(12);
    icon_ = new QLabel(this);
    icon_->setFixedSize(22, 22);
    row->addWidget(icon_);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    title_ = textLabel(Theme::TextStyle::headline, Qt::white, true, "alertTitle", this);
    message_ = textLabel(Theme::TextStyle::caption, Theme::gray(), false, "alertMessage", this);
    message_->setWordWrap(true);
    // The room it gets decides how paths are shown: it never widens the banner.
    message_->setMinimumWidth(1);
    message_->installEventFilter(this);
    texts->addWidget(title_);
    texts->addWidget(message_);
    row->addLayout(texts, 1);
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("dismissAlert"));
    close->setAutoRaise(true);
    close->setCursor(Qt::PointingHandCursor);
    close->setIcon(SymbolIcons::instance().icon(QStringLiteral("xmark.circle.fill"), Theme::gray()));
    close->setIconSize(QSize(20, 20));
    close->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    row->addWidget(close);
    connect(close, &QToolButton::clicked, this, [onDismiss = std::move(onDismiss)] {
        if (onDismiss)
            onDismiss();
    });

    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(Theme::withOpacity(Qt::black, 0.3));
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
    // The texts may hold names from data, as typed: shown so that none can reorder
    // the sentence, break its line or stretch the banner.
    title_->setText(text::displayMessage(alert.title));
    messageText_ = text::displayMessage(alert.message);
    showMessage();
    message_->setVisible(!alert.message.isEmpty());
}

void AlertBanner::showMessage()
{
    message_->setText(plainText::unbrokenPaths(messageText_, QFontMetricsF(message_->font()), message_->width()));
}

bool AlertBanner::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == message_ && event->type() == QEvent::Resize)
        showMessage();
    return QWidget::eventFilter(watched, event);
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
