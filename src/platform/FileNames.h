#pragma once

#include <QString>

namespace velmor {

// True for a name that stands for exactly one entry directly in a folder: not empty,
// no "/" or "\", no control characters (NUL included), valid UTF-16, not "." or "..",
// and not hidden (no leading "."). Names read from data must pass this before they
// become paths.
bool isPlainFileName(const QString& name);

// Most file systems take names of at most this many bytes.
constexpr qsizetype maxFileNameBytes = 255;

// `name` made into a plain file name that reads as it is written: "/", "\",
// control characters, line and paragraph separators, direction marks and other
// format characters (the joiners U+200C and U+200D aside) and unpaired surrogates
// become "-", leading dots go, and the rest is cut between characters to
// maxFileNameBytes. Empty when nothing is left, or when only "." or ".." would be.
// A caller that adds a suffix cuts the result to leave room for it (leftUtf8Bytes).
QString plainFileNameFrom(const QString& name);

// The longest start of `name` whose UTF-8 form has at most `maxBytes` bytes, cut
// only between characters (a character with its combining marks, an emoji sequence).
QString leftUtf8Bytes(const QString& name, qsizetype maxBytes);

// `name` + `suffix` when that fits in maxFileNameBytes; else `name` cut to leave room
// for "~", 16 hex digits of a hash of the whole name, and `suffix`. A name that itself
// ends in "~" and 16 hex digits is always cut so, however short, so that no name can
// be typed that takes a cut name's file. The same name gives the same result on every
// machine, and two names give two results.
QString fittedFileName(const QString& name, const QString& suffix);

} // namespace velmor
