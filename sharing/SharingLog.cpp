#include "sharing/SharingLog.h"

Q_LOGGING_CATEGORY(lcSharing, "sonavell.sharing")
