// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What a media player shows to the desktop's media controls: the transport state and the item
// it holds. Plain values, so the owner of the transport fills them without knowing the bus.
struct MediaPlayerState
{
    enum class Status
    {
        Stopped,
        Paused,
        Playing
    };

    Status status = Status::Stopped;
    double rate = 1.0;
    // The item: an object path that names it (empty when there is none), its title and length.
    QString trackId;
    QString title;
    qint64 lengthUs = 0;
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;

    bool operator==(const MediaPlayerState&) const = default;
};
