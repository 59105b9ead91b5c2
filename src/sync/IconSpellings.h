#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmor {

// The icons folder's files by icon, as the icon sync carries them: one record per base
// name, whatever the letter case of its ".svg". Where several spellings are there, the
// record's file is the first in customIconFileSpellings' order ("N.svg", "N.SVG", …).
class IconSpellings {
public:
    // From the names of the folder's entries.
    explicit IconSpellings(const QStringList& entries);
    // The folder's entries as they are now.
    static IconSpellings inFolder(const QString& folder);

    // The record's file here; none when no spelling is there.
    std::optional<QString> fileOf(const QString& recordName) const;
    // The spellings of the record beside its file.
    QStringList othersOf(const QString& recordName) const;

private:
    QHash<QString, QStringList> byRecord_;
};

} // namespace velmor
