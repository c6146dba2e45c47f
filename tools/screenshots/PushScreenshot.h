// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Renders the export screen presenting the push screen while a real push runs (to
// sonavell-receive on 127.0.0.1, found through the loopback-only avahi-daemon) into
// OUTDIR/push-sending.png. Returns false, saying why, when it cannot.
bool shootPushScreen(const QString& outDir);
