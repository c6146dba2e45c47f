// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/PlatformSystemLog.h"

Q_LOGGING_CATEGORY(lcPlatformSystem, "sonavell.platform.system")
