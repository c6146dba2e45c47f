// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Log lines of system services; QT_LOGGING_RULES="sonavell.platform.system.debug=false" and the
// like filter them.
Q_DECLARE_LOGGING_CATEGORY(lcPlatformSystem)
