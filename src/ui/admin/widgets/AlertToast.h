#pragma once

#include "core/AppModel.h"

#include <QWidget>

#include <functional>

class QLabel;

namespace velmor {


// The application's current alert as a banner: the severity's symbol, the title
// and message, and a close button.
class AlertToast : public QWidget {
public:
    explicit AlertToast(std::function<void()> onClose, QWidget* parent = nullptr);

    void show(const AppModel::AlertMessage& alert);

    // The severity's symbol and colour.
    static QString symbol(AppModel::AlertMessage::Severity severity);
    static QColor colour(AppModel::AlertMessage::Severity severity);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* icon_;
    QLabel* title_;
    QLabel* message_;
};

} // namespace velmor
