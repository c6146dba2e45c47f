// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QThread;

// Qt's own poll()-based event dispatcher for a thread that serves sockets. Qt's default on Linux
// runs each thread's events through GLib, which wakes its poll with a write to an event file
// descriptor whenever a socket notifier is switched on or off; a connection switches its
// notifiers several times per request, so a request costs about a dozen system calls more
// (writes, reads, extra polls) than it needs. A thread that talks to no GLib-based library loses
// nothing by the plain dispatcher.
class PlainEventDispatcher
{
public:
    // Gives `thread`, which must not have started yet, the plain dispatcher.
    static void install(QThread* thread);
};
