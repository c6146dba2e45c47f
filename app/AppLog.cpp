#include "AppLog.h"

Q_LOGGING_CATEGORY(lcApp, "sonavell.app")
