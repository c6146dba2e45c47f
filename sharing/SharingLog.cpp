// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/SharingLog.h"

Q_LOGGING_CATEGORY(lcSharing, "sonavell.sharing")
