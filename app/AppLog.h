// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Log lines of start-up and shutdown; QT_LOGGING_RULES="sonavell.app.debug=false" and the like
// filter them.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
