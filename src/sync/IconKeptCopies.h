#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmor {

// The drawings the icon sync kept beside their icons ("scan 2.svg"), by file name. They
// are the user's files: until one syncs as an icon, the record of its name (another
// machine's icon) wins over it and it never goes up. Each is told once: noted untold
// before the copy is made, told after the message, so that a kill in between is told at
// the next start. Kept as JSON beside profiles.json, written at once (the copies are
// rare); without a folder, in memory only.
class IconKeptCopies {
public:
    static inline const QString fileName = QStringLiteral("cloud_sync_icons_kept.json");

    // `onWriteFailure` hears why the file could not be written: once, until it is written again.
    explicit IconKeptCopies(const QString& folder, std::function<void(const QString&)> onWriteFailure = {});

    bool contains(const QString& file) const { return copies_.contains(file); }
    QStringList files() const { return copies_.keys(); }
    // Kept copies not told yet.
    QStringList untold() const;
    // Before `file` is made.
    void add(const QString& file);
    // The copy was not made, is gone, or syncs as an icon now.
    void remove(const QString& file);
    void told(const QStringList& files);

    static QByteArray encode(const QMap<QString, bool>& toldByFile);
    static QMap<QString, bool> decode(const QByteArray& bytes);

private:
    void write();

    QString path_;
    // File name → told.
    QMap<QString, bool> copies_;
    std::function<void(const QString&)> onWriteFailure_;
    bool failing_ = false;
};

} // namespace velmor
