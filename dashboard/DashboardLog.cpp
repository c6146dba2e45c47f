#include "dashboard/DashboardLog.h"

Q_LOGGING_CATEGORY(lcDashboard, "sonavell.dashboard")
