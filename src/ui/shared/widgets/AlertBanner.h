#pragma once

#include "core/ActivityFeeds.h"

#include <QWidget>

#include <functional>

class QLabel;

namespace velmor {

// The application's current alert as the admin and mapping windows show it at
// their top edge: the severity's symbol in its colour, the title over the
// message, and a close button ("dismissAlert"), on a rounded dark card with a shadow.
class AlertBanner : public QWidget {
public:
    explicit AlertBanner(std::function<void()> onDismiss, QWidget* parent = nullptr);

    // Shows `alert`'s texts as text::displayMessage shows them; an empty message takes no line.
    void setAlert(const AlertMessage& alert);

    // The symbol and colour of a severity.
    static QString symbolOf(AlertMessage::Severity severity);
    static QColor colourOf(AlertMessage::Severity severity);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The message fitted to the label's width (paths whole, or cut in their middle).
    void showMessage();

    QString messageText_;
    QLabel* icon_;
    QLabel* title_;
    QLabel* message_;
};

} // namespace velmor
