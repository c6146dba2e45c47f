// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A geographic position in degrees.
struct Location
{
    double latitude = 0;
    double longitude = 0;
};
