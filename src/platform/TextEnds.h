#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The characters at the two ends of a text, read only as far as a given number of
// them can reach: cutting a name to its room costs that room, never the name's length.
namespace velmor::text {

// The most UTF-16 units one character is read over: longer grapheme clusters (hundreds
// of stacked marks) count as cut where this ends.
inline constexpr qsizetype unitsPerCharacter = 16;

// The most characters any room shows (a line 4,096 pixels wide, one a pixel), and so
// the most units textEnds() reads from each end for any room.
inline constexpr qsizetype mostShownCharacters = 4096;
inline constexpr qsizetype mostReadUnits = (mostShownCharacters + 2) * unitsPerCharacter + 16;

// `name` as shownName() shows it, but of a longer name only what textEnds() can read:
// its first and last mostReadUnits units, escaped and joined. Cutting it to any room
// gives what cutting shownName(name) gives, at a cost that does not grow with the name.
QString shownEnds(const QString& name);

struct TextEnds {
    // The first characters, in order; all of them when `whole`.
    QStringList front;
    // The last characters, in order; empty when `whole` (front is the text then).
    // A piece whose start cannot be told without reading further back (a joined
    // emoji or flag running into the part read) is left out, so this may hold fewer.
    QStringList back;
    // The text holds at most `count` characters, all in front.
    bool whole = false;
};

// At most `count` characters from each end of `text`, as a reader sees them: grapheme
// clusters, and an escape that visibleControls wrote ("\u{202E}", "\n") as one.
// Reads at most about count × unitsPerCharacter units from each end.
TextEnds textEnds(QStringView text, qsizetype count);

} // namespace velmor::text
