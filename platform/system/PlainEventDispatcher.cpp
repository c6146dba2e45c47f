// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/PlainEventDispatcher.h"

#include <QThread>

// Qt's poll()-based dispatcher is not public API, so the program runs only with the Qt it was
// built with; Debian's Qt packages already make the package depend on that very version
// (qt6-base-abi).
#include <QtCore/private/qeventdispatcher_unix_p.h>

void PlainEventDispatcher::install(QThread* thread)
{
    if (thread && !thread->isRunning() && !thread->isFinished())
        thread->setEventDispatcher(new QEventDispatcherUNIX);
}
