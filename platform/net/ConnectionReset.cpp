// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/ConnectionReset.h"

#include <sys/socket.h>

bool ConnectionReset::resetOnClose(qintptr socketDescriptor)
{
    if (socketDescriptor < 0)
        return false;
    // A zero linger time drops what is still unsent and answers the close with a reset.
    const linger abortive{1, 0};
    return ::setsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_LINGER, &abortive,
                        sizeof abortive) == 0;
}
