// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/DashboardLog.h"

Q_LOGGING_CATEGORY(lcDashboard, "sonavell.dashboard")
