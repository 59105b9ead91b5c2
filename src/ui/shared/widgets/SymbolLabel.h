#pragma once

#include <QColor>
#include <QWidget>

namespace velmor {

// A symbol followed by a text, both in one colour, in the widget's font: the
// windows' status lines ("Granted", "All permissions granted").
class SymbolLabel : public QWidget {
public:
    SymbolLabel(QString symbol, QString text, QColor colour, QWidget* parent = nullptr);

    void set(QString symbol, QString text, QColor colour);
    const QString& symbol() const { return symbol_; }
    const QString& text() const { return text_; }
    const QColor& colour() const { return colour_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int symbolSize() const;

    QString symbol_;
    QString text_;
    QColor colour_;
};

} // namespace velmor
