// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The application's resource folder (images, sounds, the web folder): SONAVELL_RESOURCES when
// set; otherwise "resources" beside the build's bin folder, or the installed share/sonavell.
class Bundle
{
public:
    // The named folder inside the resources, or an empty string when it is nowhere.
    static QString resourceDirectory(const QString& folder);
};
