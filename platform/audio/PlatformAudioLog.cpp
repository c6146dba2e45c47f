#include "platform/audio/PlatformAudioLog.h"

Q_LOGGING_CATEGORY(lcPlatformAudio, "sonavell.platform.audio")
