// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/artwork/AppIcon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRegularExpression>
#include <QSvgGenerator>

namespace sonavell::artwork {
namespace {

// The recorder screen's palette (see Artwork.cpp).
const QColor kPanelTop(0x3a, 0x3e, 0x46);
const QColor kPanelBottom(0x101114);
const QColor kRimLight(0x7a, 0x80, 0x8b);
const QColor kAmber(0xff, 0xb0, 0x2e);
const QColor kRed(0xf2, 0x3f, 0x36);
const QColor kGreen(0x4c, 0xd8, 0x72);

const QPointF kCentre(128, 128);

// An annular sector; angles in degrees, 0 pointing right, growing anticlockwise.
QPainterPath sector(double inner, double outer, double start, double span)
{
    const QRectF out(kCentre.x() - outer, kCentre.y() - outer, 2 * outer, 2 * outer);
    const QRectF in(kCentre.x() - inner, kCentre.y() - inner, 2 * inner, 2 * inner);
    QPainterPath path;
    path.arcMoveTo(out, start);
    path.arcTo(out, start, span);
    path.arcTo(in, start + span, -span);
    path.closeSubpath();
    return path;
}

} // namespace

void drawAppIcon(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    // The tile.
    const QRectF tile(12, 12, 232, 232);
    QLinearGradient panel(0, tile.top(), 0, tile.bottom());
    panel.setColorAt(0, kPanelTop);
    panel.setColorAt(1, kPanelBottom);
    p.setPen(QPen(kRimLight, 3));
    p.setBrush(panel);
    p.drawRoundedRect(tile.adjusted(1.5, 1.5, -1.5, -1.5), 50, 50);

    // The level ring: 18 segments over 270 degrees, the first twelve lit from green to red.
    const int segments = 18;
    const double span = 270.0 / segments;
    p.setPen(Qt::NoPen);
    for (int i = 0; i < segments; ++i) {
        const double start = 225.0 - (i + 1) * span;
        const double height = double(i) / (segments - 1);
        QColor hue = height > 0.8 ? kRed : height > 0.55 ? kAmber : kGreen;
        if (i >= 12)
            hue = hue.darker(330);
        p.setBrush(hue);
        p.drawPath(sector(86, 108, start + 1.6, span - 3.2));
    }

    // The display: a dark bezel and the amber face, lit from above.
    QRadialGradient bezel(kCentre, 78);
    bezel.setColorAt(0.85, QColor(0x1a, 0x1c, 0x20));
    bezel.setColorAt(1.0, QColor(0x5a, 0x60, 0x6b));
    p.setBrush(bezel);
    p.drawEllipse(kCentre, 78, 78);
    QRadialGradient face(kCentre - QPointF(0, 24), 84);
    face.setColorAt(0, kAmber.lighter(135));
    face.setColorAt(1, kAmber.darker(140));
    p.setBrush(face);
    p.drawEllipse(kCentre, 66, 66);

    // The record dot.
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawEllipse(kCentre + QPointF(0, 4), 36, 36);
    QRadialGradient dot(kCentre - QPointF(10, 12), 44);
    dot.setColorAt(0, kRed.lighter(150));
    dot.setColorAt(0.6, kRed);
    dot.setColorAt(1, kRed.darker(170));
    p.setBrush(dot);
    p.drawEllipse(kCentre, 34, 34);
}

const std::vector<int>& appIconSizes()
{
    static const std::vector<int> sizes = {16, 24, 32, 48, 64, 128, 256, 512};
    return sizes;
}

QImage renderAppIcon(int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.scale(double(pixels) / kAppIconCanvas, double(pixels) / kAppIconCanvas);
        drawAppIcon(painter);
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

QByteArray appIconSvg()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(kAppIconCanvas, kAppIconCanvas));
    generator.setViewBox(QRect(0, 0, kAppIconCanvas, kAppIconCanvas));
    generator.setTitle(QStringLiteral("Sonavell"));
    generator.setDescription(QStringLiteral("The Sonavell application icon"));
    {
        QPainter painter(&generator);
        drawAppIcon(painter);
    }
    // The generator gives the size in millimetres; icon themes expect pixels.
    QByteArray svg = buffer.data();
    static const QRegularExpression size(QStringLiteral("<svg width=\"[^\"]*\" height=\"[^\"]*\""));
    const QRegularExpressionMatch match = size.match(QString::fromUtf8(svg.left(200)));
    if (match.hasMatch())
        svg.replace(match.capturedStart(), match.capturedLength(),
                    QStringLiteral("<svg width=\"%1\" height=\"%1\"").arg(kAppIconCanvas).toUtf8());
    return svg;
}

QStringList writeAppIcons(const QString& directory, const QString& name, QString* error)
{
    QStringList written;
    auto write = [&](const QString& relative, const QByteArray& bytes) {
        const QString path = directory + QLatin1Char('/') + relative;
        QFile file(path);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
            !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size() || !file.flush()) {
            if (error)
                *error = path + QStringLiteral(": cannot write");
            return false;
        }
        written << relative;
        return true;
    };
    for (int size : appIconSizes()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        renderAppIcon(size).save(&buffer, "PNG");
        if (!write(QStringLiteral("%1x%1/apps/%2.png").arg(size).arg(name), png))
            return {};
    }
    if (!write(QStringLiteral("scalable/apps/%1.svg").arg(name), appIconSvg()))
        return {};
    return written;
}

} // namespace sonavell::artwork
