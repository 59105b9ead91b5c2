#pragma once

#include <QString>

namespace velmor {

// True for a name that stands for exactly one entry directly in a folder: not empty,
// no "/" or "\", no control characters (NUL included), valid UTF-16, not "." or "..",
// and not hidden (no leading "."). Names read from data must pass this before they
// become paths.
bool isPlainFileName(const QString& name);

// `name` made into a plain file name: "/", "\", control characters and unpaired
// surrogates become "-", leading dots go. Empty when nothing is left, or when
// only "." or ".." would be.
QString plainFileNameFrom(const QString& name);

// Most file systems take names of at most this many bytes.
constexpr qsizetype maxFileNameBytes = 255;

// The longest start of `name` whose UTF-8 form has at most `maxBytes` bytes, cut
// only between characters (a character with its combining marks, an emoji sequence).
QString leftUtf8Bytes(const QString& name, qsizetype maxBytes);

} // namespace velmor
