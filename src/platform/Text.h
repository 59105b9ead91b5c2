#pragma once

#include <QList>
#include <QString>

#include <algorithm>
#include <functional>

// String rules of the stored data: how names are compared and lists ordered,
// and how text from outside is written into a line.
namespace velmor::text {

// The text with every character that could break or reorder a line shown
// visibly: C0 and C1 controls and DEL, line and paragraph separators, and the
// bidi marks, embeddings, overrides and isolates. A newline, return and tab are
// written "\n", "\r", "\t", any other as its code, "\u{1B}". The rest is kept.
// For lines written from names (log lines, notifications), never for stored data.
QString visibleControls(const QString& s);

// A name from data as a widget shows it before cutting it to its room in pixels:
// its controls written visibly (visibleControls) and isolated (U+2068 … U+2069)
// so that its direction cannot reorder the text around it. Never cut.
QString shownName(const QString& name);

// The most characters a name takes where Velmor shows it (before the isolating marks).
inline constexpr qsizetype longestShownName = 200;

// A name from data as Velmor's own texts show it where nothing measures its room
// (toasts, alerts, log lines): its controls written visibly (visibleControls), cut to
// longestShownName characters with "…" at a character boundary, and isolated
// (U+2068 … U+2069) so that its direction cannot reorder the text around it.
// For showing only: stored names and fields that edit a name keep it as typed.
QString displayName(const QString& name);

// A name from data cut as displayName cuts it, but neither escaped nor isolated: for
// texts that are escaped where they are shown (notices, log lines), so that no cut
// falls inside an escape. Reads no more of the name than it keeps.
QString shortenedName(const QString& name);

// The most characters a message of Velmor's takes where it is shown (an alert).
inline constexpr qsizetype longestShownMessage = 600;

// A message of Velmor's that may hold names from data, as an alert shows it: its
// controls written visibly (visibleControls), each run without spaces over
// longestShownName characters and the whole over longestShownMessage cut in the
// middle with "…", so that the sentence's own start and end stay. The message
// itself is not changed: the log and notifications get it as it was made.
QString displayMessage(const QString& message);

// "‹size›; the limit is ‹limit›" for a refusal by size: in KiB, MiB, GiB to one
// decimal, or in bytes where those would read alike.
QString sizeOverLimit(qint64 size, qint64 limit);

// Full Unicode lower-casing, without trimming: the key by which profile and tool
// names compare. Canonically equivalent names give the same key.
QString lowercased(const QString& s);

// Unicode text equality: canonically equivalent strings are equal.
bool canonicallyEqual(const QString& a, const QString& b);
// A form of the text that is equal for canonically equivalent strings (for hashing).
QString canonicalForm(const QString& s);

// Localized, case-insensitive comparison of names shown to the user: <0, 0, >0.
int localizedCaseInsensitiveCompare(const QString& a, const QString& b);

// Stable sort of a list shown to the user by a name taken from each item.
template <typename T, typename NameOf>
void sortLocalized(QList<T>& items, NameOf nameOf)
{
    std::stable_sort(items.begin(), items.end(), [&](const T& a, const T& b) {
        return localizedCaseInsensitiveCompare(std::invoke(nameOf, a), std::invoke(nameOf, b)) < 0;
    });
}

} // namespace velmor::text
