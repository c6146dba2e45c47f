// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Log lines of the recorder screen's views; QT_LOGGING_RULES="sonavell.dashboard.debug=false" and
// the like filter them.
Q_DECLARE_LOGGING_CATEGORY(lcDashboard)
