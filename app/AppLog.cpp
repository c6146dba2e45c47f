// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppLog.h"

Q_LOGGING_CATEGORY(lcApp, "sonavell.app")
