// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Log lines of the audio layer; QT_LOGGING_RULES="sonavell.platform.audio.debug=false" and the like
// filter them.
Q_DECLARE_LOGGING_CATEGORY(lcPlatformAudio)
