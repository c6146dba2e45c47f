// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Makes the next close of a TCP connection's socket a reset instead of an orderly end, so the
// peer learns that what it sent was not taken (an orderly end would read as success to a peer
// that waits for it). Call it right before closing; false when the socket refuses.
namespace ConnectionReset {

bool resetOnClose(qintptr socketDescriptor);

} // namespace ConnectionReset
