#pragma once

#include <QString>
#include <QStringList>

#include <utility>

namespace velmor {

// One SVG file of the custom icons folder. The file name is unique within the
// folder, so it serves as the icon's identity in lists.
class CustomIcon {
public:
    CustomIcon(QString fileName, QString url) : fileName_(std::move(fileName)), url_(std::move(url)) {}

    // The file's last path component, e.g. "ct.svg".
    const QString& fileName() const { return fileName_; }
    // The file's location.
    const QString& url() const { return url_; }
    // What the picker shows: the url's last path component without its extension.
    QString displayName() const;

    bool operator==(const CustomIcon&) const = default;

private:
    QString fileName_;
    QString url_;
};

size_t qHash(const CustomIcon& icon, size_t seed = 0) noexcept;

// Picker order: display names ascending, localized and case-insensitive.
bool customIconSortOrder(const CustomIcon& a, const CustomIcon& b);

// The one rule for the names of custom icon files, which the picker lists, the windows
// look up and the icon sync carries: a plain file name that reads as it is written (no
// direction marks or other format or control characters, at most 255 bytes) ending in
// ".svg" in any letter case.
bool isCustomIconFileName(const QString& fileName);

// The one rule for the letter case of ".svg": one icon, whatever the case of its
// extension. The spellings of `fileName`'s icon in the order they are looked for:
// `fileName` itself, then its base name with ".svg", ".SVG" and every other letter case.
QStringList customIconFileSpellings(const QString& fileName);

// The entry of the icons folder `folder` that a tool naming `fileName` shows: the first
// of its spellings that is there (of any kind), else `fileName`.
QString customIconFileIn(const QString& folder, const QString& fileName);

} // namespace velmor
