// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioLog.h"

Q_LOGGING_CATEGORY(lcAudio, "sonavell.audio")
