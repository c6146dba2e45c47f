// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QPainter;

namespace sonavell::artwork {

// One image of the recorder screen: its file name, its size in points and how to draw it.
// The drawing is in points; the same function draws the single and the double density file.
struct ImageRecipe
{
    QString name;
    QSize size;
    std::function<void(QPainter&)> draw;
};

// Every image, in a fixed order.
const std::vector<ImageRecipe>& imageRecipes();

// Draws one image at the given scale (1 or 2 pixels per point).
QImage render(const ImageRecipe& recipe, int scale);

// Writes name.png and name@2x.png for every image into directory (created if missing).
// Returns the file names written, or an empty list and an error message on failure.
QStringList writeImages(const QString& directory, QString* error);

} // namespace sonavell::artwork
