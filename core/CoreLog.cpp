// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/CoreLog.h"

Q_LOGGING_CATEGORY(lcCore, "sonavell.core")
