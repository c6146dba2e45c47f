#include "platform/system/PlatformSystemLog.h"

Q_LOGGING_CATEGORY(lcPlatformSystem, "sonavell.platform.system")
