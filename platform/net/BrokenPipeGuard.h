// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Keeps a write to a connection the peer has closed from ending the process: while installed,
// SIGPIPE goes to a handler that only counts it. (Writes also pass MSG_NOSIGNAL; this covers
// every other path.) Uninstalling restores the previous handler.
class BrokenPipeGuard
{
public:
    ~BrokenPipeGuard() { uninstall(); }
    void install();
    void uninstall();

private:
    void (*m_previous)(int) = nullptr;
    bool m_installed = false;
};
