#pragma once

#include <QWidget>

namespace velmor {

// The small confirmation toast: a green check and the message on a rounded
// surface with a soft shadow. It has no timer; the window decides when it shows,
// where, and when it goes.
class ToastView : public QWidget {
public:
    explicit ToastView(const QString& message = {}, QWidget* parent = nullptr);

    void setMessage(const QString& message);
    const QString& message() const { return message_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString message_;
};

} // namespace velmor
