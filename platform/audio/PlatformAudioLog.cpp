// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/PlatformAudioLog.h"

Q_LOGGING_CATEGORY(lcPlatformAudio, "sonavell.platform.audio")
