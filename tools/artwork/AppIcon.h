// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <vector>

class QPainter;

namespace sonavell::artwork {

// The application icon: the recorder's dial (the level ring around the amber display, a record
// dot in its middle) on a graphite tile. Drawn with vector shapes on a 256 × 256 canvas, so one
// drawing gives every PNG size and the scalable SVG.
constexpr int kAppIconCanvas = 256;

void drawAppIcon(QPainter& painter);

// The sizes of the PNG files, in pixels.
const std::vector<int>& appIconSizes();

// The icon drawn at pixels × pixels.
QImage renderAppIcon(int pixels);

// The icon as an SVG document.
QByteArray appIconSvg();

// Writes an icon theme tree below directory: <n>x<n>/apps/<name>.png for every size and
// scalable/apps/<name>.svg. Returns the paths written relative to directory, or an empty list
// and an error message on failure.
QStringList writeAppIcons(const QString& directory, const QString& name, QString* error);

} // namespace sonavell::artwork
