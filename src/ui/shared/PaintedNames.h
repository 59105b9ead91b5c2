#pragma once

#include <QFont>
#include <QHash>
#include <QString>

namespace velmor {

// Names as a view paints them (plainText::paintedName), remembered by name,
// font and width: cutting a name too wide for its room measures it several
// times, and a list or canvas repaints the same names at the same widths after
// every edit. It forgets everything once it holds `capacity` names. A name
// longer than any room shows is cut afresh each time, so that its length costs
// no hashing.
class PaintedNames {
public:
    explicit PaintedNames(qsizetype capacity = 1024) : capacity_(capacity) {}

    // Far more characters than the widest room of any window shows.
    static constexpr qsizetype longestRemembered = 1000;

    QString operator()(const QString& name, const QFont& font, qreal width);

private:
    struct Key {
        QString name;
        QFont font;
        qreal width = 0;
        bool operator==(const Key&) const = default;
    };
    friend size_t qHash(const Key& key, size_t seed) noexcept;

    qsizetype capacity_;
    QHash<Key, QString> names_;
};

} // namespace velmor
