#include "ui/admin/widgets/ShortcutRecorder.h"

#include "ui/admin/widgets/AdminStyle.h"
#include "ui/shared/Theme.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace velmor {


// The capture view (the field): shows the shortcut, "Listening…" or "Record", and while listening
// takes every key before shortcuts and focus changes see it.
class ShortcutRecorder::ShortcutCaptureView : public QWidget {
public:
    ShortcutCaptureView(ShortcutRecorderModel& model, QWidget* parent) : QWidget(parent), model_(model)
    {
        setObjectName(QStringLiteral("shortcutField"));
        setFocusPolicy(Qt::ClickFocus);
        setCursor(Qt::PointingHandCursor);
        setFixedHeight(28);
        setMinimumWidth(90);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    bool event(QEvent* event) override
    {
        if (model_.isRecording()) {
            // Application shortcuts and Tab would take the key before keyPressEvent.
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
                return true;
            }
            if (event->type() == QEvent::KeyPress) {
                keyPressEvent(static_cast<QKeyEvent*>(event));
                return true;
            }
        }
        return QWidget::event(event);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->isAutoRepeat() && model_.isRecording()) {
            event->accept();
            return;
        }
        if (model_.keyPressed(KeyPress::from(*event)))
            event->accept();
        else
            QWidget::keyPressEvent(event);
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        event->accept();
        setFocus(Qt::MouseFocusReason);
        model_.startRecording();
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.fillPath(shape, Theme::withOpacity(Qt::white, 0.06));
        const auto look = model_.look();
        painter.strokePath(shape, QPen(look == ShortcutRecorderModel::Look::listening ? Theme::blue()
                                                                                       : Theme::withOpacity(Theme::gray(), 0.35),
                                       1));
        QColor colour = Qt::white;
        QFont font = Theme::monospacedFont(Theme::TextStyle::caption);
        if (look == ShortcutRecorderModel::Look::listening)
            colour = QColor(64, 200, 224); // teal
        else if (look == ShortcutRecorderModel::Look::placeholder) {
            colour = Theme::gray();
            font = Theme::font(Theme::TextStyle::caption);
        }
        painter.setPen(colour);
        painter.setFont(font);
        painter.drawText(rect().adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft, model_.fieldText());
    }

private:
    ShortcutRecorderModel& model_;
};

ShortcutRecorder::ShortcutRecorder(Binding<std::optional<KeyboardShortcut>> shortcut, QWidget* parent)
    : QWidget(parent), model_(std::move(shortcut)), field_(new ShortcutCaptureView(model_, this)), clear_(new QPushButton(tr("Clear"), this))
{
    clear_->setObjectName(QStringLiteral("clearRecordedShortcut"));
    clear_->setFocusPolicy(Qt::NoFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(field_, 1);
    row->addWidget(clear_);
    model_.onChanged = [this] { field_->update(); };
    connect(clear_, &QPushButton::clicked, this, [this] { model_.clear(); });
}

void ShortcutRecorder::refresh() { field_->update(); }

QWidget* ShortcutRecorder::field() const { return field_; }

} // namespace velmor
