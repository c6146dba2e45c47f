// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/PlatformUiLog.h"

Q_LOGGING_CATEGORY(lcPlatformUi, "sonavell.platform.ui")
