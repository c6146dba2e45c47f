// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Log lines of the recorder screen; QT_LOGGING_RULES="sonavell.recorder.debug=false" and the like
// filter them.
Q_DECLARE_LOGGING_CATEGORY(lcRecorder)
