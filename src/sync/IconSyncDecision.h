#pragma once

#include <QByteArray>
#include <QDateTime>

#include <optional>

namespace velmor {

// One icon as the sync finds it on both sides, and as it last synced.
struct IconSides {
    // A regular file of an icon's size under the icon's name, and its drawing's hash.
    std::optional<QByteArray> localHash;
    // Its date, no later than now.
    QDateTime localDate;
    // The record holds a drawing, and whether it could be read (an icon's size).
    bool remotePresent = false;
    bool remoteUsable = false;
    std::optional<QByteArray> remoteHash;
    // The record's date, a date later than now counting as now.
    QDateTime remoteDate;
    bool remoteHasPreview = false;
    // The drawing's hash as it last synced, when this computer knows it.
    std::optional<QByteArray> baseHash;
    // A record with another drawing wins, whatever the dates (a first contact, a kept copy
    // the user did not change).
    bool recordWins = false;
    // Whether this computer's drawing may go up (not at a first contact).
    bool uploads = true;
};

enum class IconStep {
    nothing,
    // Both sides hold the same drawing: that is the base from now on.
    settle,
    upload,
    // The record's drawing gives way and is kept beside the icon.
    uploadKeepingRemote,
    download,
    // This computer's drawing gives way and is kept beside the icon.
    downloadKeepingLocal,
};

// What changed since the last sync decides: a drawing changed on one side goes to the
// other, whatever the dates. Both changed, or no base to tell: the later stays and the
// other is kept. A record whose drawing cannot be used gets this computer's.
IconStep decideIconStep(const IconSides& sides);

} // namespace velmor
