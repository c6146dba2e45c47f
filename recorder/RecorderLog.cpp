// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorder/RecorderLog.h"

Q_LOGGING_CATEGORY(lcRecorder, "sonavell.recorder")
