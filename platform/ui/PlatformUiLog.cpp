#include "platform/ui/PlatformUiLog.h"

Q_LOGGING_CATEGORY(lcPlatformUi, "sonavell.platform.ui")
