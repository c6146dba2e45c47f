// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/BrowserLog.h"

Q_LOGGING_CATEGORY(lcBrowser, "sonavell.browser")
