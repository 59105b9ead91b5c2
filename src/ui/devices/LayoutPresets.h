#pragma once

#include <QList>
#include <QLocale>
#include <QSizeF>
#include <QString>

#include <optional>

namespace velmor {

// A size the layout editor offers for a button, in fractions of the canvas.
struct LayoutSizePreset {
    QString name;
    double width = 0;
    double height = 0;

    bool operator==(const LayoutSizePreset&) const = default;

    // The nine built-in sizes, in the order the editor shows them.
    static const QList<LayoutSizePreset>& builtIn();

    // "0.100 x 0.222": the size line of a preset card.
    QString sizeText() const;
    // Whether a button of this size already has the preset's size (within 0.001).
    bool matches(double buttonWidth, double buttonHeight) const;
};

// The shape of a preset drawn in `space`: the preset's proportions at the
// largest size that fits, touching two opposite sides (a broken ratio draws a square).
QSizeF presetPreviewSize(const LayoutSizePreset& preset, const QSizeF& space);

// The size fields' number format: two or three fraction digits; input is
// accepted only between 0.04 and 0.5.
class SizeFormatter {
public:
    static constexpr double minimum = 0.04;
    static constexpr double maximum = 0.5;

    explicit SizeFormatter(QLocale locale = QLocale()) : locale_(std::move(locale)) {}

    QString format(double value) const;
    // None for text that is not a number or lies outside minimum…maximum.
    std::optional<double> parse(const QString& text) const;

private:
    QLocale locale_;
};

} // namespace velmor
