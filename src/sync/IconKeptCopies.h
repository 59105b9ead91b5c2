#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmor {

// The drawings the icon sync kept beside their icons ("scan 2.svg"), by file name, with
// the hash of the drawing kept. They are the user's files. Until one syncs as an icon, a
// record of its name with another drawing (another machine's icon) wins over it, unless
// the user changed the copy; once a tool uses it, it goes up like any other icon. Each is
// told once: noted untold before the copy is made, told after the message, so that a kill
// in between is told at the next start. Kept as JSON beside profiles.json, written at
// once (the copies are rare); without a folder, in memory only.
//
// The file also notes the other spellings of icons' files ("Mark.SVG" beside "Mark.svg")
// that hold other drawings and stay here: each drawing of one is told once, not at
// every start.
class IconKeptCopies {
public:
    static inline const QString fileName = QStringLiteral("cloud_sync_icons_kept.json");

    // `onWriteFailure` hears why the file could not be written: once, until it is written again.
    explicit IconKeptCopies(const QString& folder, std::function<void(const QString&)> onWriteFailure = {});

    struct Copy {
        bool told = false;
        // SHA-256 of the drawing kept; empty when a file of an earlier version did not note it.
        QByteArray hash;
        bool operator==(const Copy&) const = default;
    };

    bool contains(const QString& file) const { return copies_.contains(file); }
    // Whether `file` is a kept copy that still holds the drawing kept (one whose drawing was
    // not noted counts as unchanged).
    bool holdsKeptDrawing(const QString& file, const QByteArray& hash) const;
    QStringList files() const { return copies_.keys(); }
    // Kept copies not told yet.
    QStringList untold() const;
    // Before `file` is made, with the hash of the drawing it is to hold.
    void add(const QString& file, const QByteArray& hash);
    // The copy was not made, is gone, or syncs as an icon now.
    void remove(const QString& file);
    void told(const QStringList& files);

    // Whether the other spelling `file` was told of while it held the drawing of `hash`.
    bool spellingTold(const QString& file, const QByteArray& hash) const { return spellings_.value(file) == hash; }
    void tellSpelling(const QString& file, const QByteArray& hash);

    struct Noted {
        QMap<QString, Copy> copies;
        // Other spellings told of → the hash of the drawing told.
        QMap<QString, QByteArray> spellings;
        bool operator==(const Noted&) const = default;
    };
    static QByteArray encode(const Noted& noted);
    static Noted decode(const QByteArray& bytes);

private:
    void write();

    QString path_;
    QMap<QString, Copy> copies_;
    QMap<QString, QByteArray> spellings_;
    std::function<void(const QString&)> onWriteFailure_;
    bool failing_ = false;
};

} // namespace velmor
