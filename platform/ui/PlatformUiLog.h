// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Log lines of controls and screens; QT_LOGGING_RULES="sonavell.platform.ui.debug=false" and the
// like filter them.
Q_DECLARE_LOGGING_CATEGORY(lcPlatformUi)
