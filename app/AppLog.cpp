// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppLog.h"

Q_LOGGING_CATEGORY(lcApp, "sonavell.app")
