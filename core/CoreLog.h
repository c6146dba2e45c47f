// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Log lines of the library and the application delegate;
// QT_LOGGING_RULES="sonavell.core.debug=false" and the like filter them.
Q_DECLARE_LOGGING_CATEGORY(lcCore)
