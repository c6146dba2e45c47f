// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// Log lines of web sharing and the export screen; QT_LOGGING_RULES="sonavell.sharing.debug=false"
// and the like filter them.
Q_DECLARE_LOGGING_CATEGORY(lcSharing)
