// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/BrokenPipeGuard.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t pipeBreaks = 0;

void mySigHandler(int)
{
    pipeBreaks = pipeBreaks + 1;
}
} // namespace

void BrokenPipeGuard::install()
{
    if (m_installed)
        return;
    m_previous = std::signal(SIGPIPE, mySigHandler);
    m_installed = true;
}

void BrokenPipeGuard::uninstall()
{
    if (!m_installed)
        return;
    std::signal(SIGPIPE, m_previous);
    m_installed = false;
}
