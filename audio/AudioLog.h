// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Log lines of the recorder and player engines; QT_LOGGING_RULES="sonavell.audio.debug=false" and
// the like filter them.
Q_DECLARE_LOGGING_CATEGORY(lcAudio)
