// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder screen's artwork, drawn with vector shapes only (no fonts, no bitmaps), so the
// same program always writes the same pixels. One look throughout: a dark graphite dashboard,
// round keys with bevelled rims, an amber backlit display, cyan for positions, and a green to
// red level ring.
#include "tools/artwork/Artwork.h"

#include <QConicalGradient>
#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace sonavell::artwork {
namespace {

// ---- Palette ----
const QColor kPanelTop(0x2a, 0x2d, 0x33);
const QColor kPanelBottom(0x101114);
const QColor kRimLight(0x6a, 0x70, 0x7b);
const QColor kRimDark(0x07, 0x08, 0x09);
const QColor kKeyTop(0x45, 0x49, 0x52);
const QColor kKeyBottom(0x1a, 0x1c, 0x20);
const QColor kIcon(0xe2, 0xe6, 0xed);
const QColor kAmber(0xff, 0xb0, 0x2e);
const QColor kRed(0xf2, 0x3f, 0x36);
const QColor kGreen(0x4c, 0xd8, 0x72);
const QColor kCyan(0x3c, 0xc8, 0xff);

constexpr double kPi = std::numbers::pi;

QColor withAlpha(QColor color, int alpha)
{
    color.setAlpha(alpha);
    return color;
}

QColor lighter(const QColor& color, double amount)
{
    return QColor::fromRgbF(static_cast<float>(color.redF() + (1.0 - color.redF()) * amount),
                            static_cast<float>(color.greenF() + (1.0 - color.greenF()) * amount),
                            static_cast<float>(color.blueF() + (1.0 - color.blueF()) * amount),
                            color.alphaF());
}

// A repeatable sequence of numbers in [0, 1) for textures: the same on every machine.
class Noise
{
public:
    explicit Noise(quint32 seed)
        : m_state(seed)
    {
    }
    double next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return (m_state >> 8) / 16777216.0;
    }

private:
    quint32 m_state;
};

QPainterPath annulus(QPointF centre, double inner, double outer)
{
    QPainterPath path;
    path.addEllipse(centre, outer, outer);
    path.addEllipse(centre, inner, inner);
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

// An annular sector; angles in degrees, 0 pointing right, growing anticlockwise.
QPainterPath sector(QPointF centre, double inner, double outer, double start, double span)
{
    QPainterPath path;
    path.arcMoveTo(QRectF(centre.x() - outer, centre.y() - outer, 2 * outer, 2 * outer), start);
    path.arcTo(QRectF(centre.x() - outer, centre.y() - outer, 2 * outer, 2 * outer), start, span);
    path.arcTo(QRectF(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner), start + span,
               -span);
    path.closeSubpath();
    return path;
}

QPointF polar(QPointF centre, double radius, double degrees)
{
    const double a = degrees * kPi / 180.0;
    return {centre.x() + radius * std::cos(a), centre.y() - radius * std::sin(a)};
}

void softGlow(QPainter& p, QPointF centre, double radius, const QColor& color)
{
    QRadialGradient glow(centre, radius);
    glow.setColorAt(0.0, withAlpha(color, 150));
    glow.setColorAt(0.5, withAlpha(color, 55));
    glow.setColorAt(1.0, withAlpha(color, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(centre, radius, radius);
}

// ---- A small stroke alphabet for the badges: glyphs on a 4 x 6 grid ----

struct Glyph
{
    double width;
    std::vector<std::vector<QPointF>> strokes;
    std::vector<QRectF> ovals;
    std::vector<QPointF> dots;
};

Glyph glyph(QChar c)
{
    switch (c.unicode()) {
    case 'L':
        return {4, {{{0, 0}, {0, 6}, {4, 6}}}, {}, {}};
    case 'M':
        return {4.6, {{{0, 6}, {0, 0}, {2.3, 3.6}, {4.6, 0}, {4.6, 6}}}, {}, {}};
    case 'H':
        return {4, {{{0, 0}, {0, 6}}, {{4, 0}, {4, 6}}, {{0, 3}, {4, 3}}}, {}, {}};
    case 'Q':
        return {4.2, {{{2.6, 4.4}, {4.3, 6.3}}}, {QRectF(0, 0, 4.2, 6)}, {}};
    case '0':
        return {3.6, {}, {QRectF(0, 0, 3.6, 6)}, {}};
    case '1':
        return {2.2, {{{0, 1.2}, {1.6, 0}, {1.6, 6}}}, {}, {}};
    case '5':
        return {3.6,
                {{{3.6, 0},
                  {0.3, 0},
                  {0, 2.7},
                  {1.9, 2.4},
                  {3.3, 3.0},
                  {3.6, 4.2},
                  {3.2, 5.4},
                  {2.0, 6},
                  {0, 5.6}}},
                {},
                {}};
    case '7':
        return {3.6, {{{0, 0}, {3.6, 0}, {1.2, 6}}}, {}, {}};
    case '.':
        return {1.0, {}, {}, {QPointF(0.5, 5.7)}};
    case 'x':
        return {3.0, {{{0, 2.6}, {3, 6}}, {{3, 2.6}, {0, 6}}}, {}, {}};
    default:
        return {2, {}, {}, {}};
    }
}

// Draws text centred on centre, unit points per grid step, with the pen's colour and width.
void strokeText(QPainter& p, const QString& text, QPointF centre, double unit, const QPen& pen)
{
    const double gap = 1.1;
    double width = 0;
    for (int i = 0; i < text.size(); ++i)
        width += glyph(text[i]).width + (i ? gap : 0);
    double x = centre.x() - width * unit / 2;
    const double y = centre.y() - 3 * unit;
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    for (QChar c : text) {
        const Glyph g = glyph(c);
        auto at = [&](QPointF q) { return QPointF(x + q.x() * unit, y + q.y() * unit); };
        for (const auto& stroke : g.strokes) {
            QPainterPath path(at(stroke.front()));
            for (size_t i = 1; i < stroke.size(); ++i)
                path.lineTo(at(stroke[i]));
            p.drawPath(path);
        }
        for (const QRectF& oval : g.ovals)
            p.drawEllipse(QRectF(at(oval.topLeft()), at(oval.bottomRight())));
        for (const QPointF& dot : g.dots) {
            p.save();
            p.setPen(Qt::NoPen);
            p.setBrush(pen.color());
            p.drawEllipse(at(dot), pen.widthF() * 0.7, pen.widthF() * 0.7);
            p.restore();
        }
        x += (g.width + gap) * unit;
    }
}

// ---- Keys ----

// A round key with a bevelled rim; pressed keys sit lower and darker.
void roundKey(QPainter& p, QPointF c, double radius, bool pressed)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 110));
    p.drawEllipse(c + QPointF(0, 1.2), radius, radius);

    QLinearGradient rim(c.x(), c.y() - radius, c.x(), c.y() + radius);
    rim.setColorAt(0, pressed ? kRimDark : kRimLight);
    rim.setColorAt(1, pressed ? kRimLight.darker(150) : kRimDark);
    p.setBrush(rim);
    p.drawEllipse(c, radius - 0.5, radius - 0.5);

    const double body = radius - 3.2;
    QLinearGradient face(c.x(), c.y() - body, c.x(), c.y() + body);
    face.setColorAt(0, pressed ? kKeyBottom.darker(120) : kKeyTop);
    face.setColorAt(1, pressed ? kKeyTop.darker(130) : kKeyBottom);
    p.setBrush(face);
    p.drawEllipse(c, body, body);

    if (!pressed) {
        QLinearGradient gloss(c.x(), c.y() - body, c.x(), c.y());
        gloss.setColorAt(0, QColor(255, 255, 255, 46));
        gloss.setColorAt(1, QColor(255, 255, 255, 0));
        p.setBrush(gloss);
        p.drawEllipse(QRectF(c.x() - body * 0.82, c.y() - body * 0.96, body * 1.64, body * 1.1));
    }
}

// A rounded square key for the mode toggles.
void squareKey(QPainter& p, const QRectF& r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 110));
    p.drawRoundedRect(r.translated(0, 1.2), 8, 8);
    QLinearGradient rim(r.topLeft(), r.bottomLeft());
    rim.setColorAt(0, kRimLight);
    rim.setColorAt(1, kRimDark);
    p.setBrush(rim);
    p.drawRoundedRect(r, 8, 8);
    const QRectF face = r.adjusted(2.5, 2.5, -2.5, -2.5);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, kKeyTop);
    fill.setColorAt(1, kKeyBottom);
    p.setBrush(fill);
    p.drawRoundedRect(face, 6, 6);
    QLinearGradient gloss(face.topLeft(), QPointF(face.left(), face.center().y()));
    gloss.setColorAt(0, QColor(255, 255, 255, 40));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(gloss);
    p.drawRoundedRect(face.adjusted(1, 1, -1, -face.height() / 2), 5, 5);
}

// The glyph colour of a key: brighter with a halo while pressed.
QColor glyphColor(const QColor& base, bool pressed)
{
    return pressed ? lighter(base, 0.35) : base;
}

void recordGlyph(QPainter& p, QPointF c, bool pressed)
{
    if (pressed)
        softGlow(p, c, 19, kRed);
    QRadialGradient dot(c - QPointF(2.5, 3), 11);
    dot.setColorAt(0, lighter(glyphColor(kRed, pressed), 0.45));
    dot.setColorAt(1, glyphColor(kRed, pressed).darker(125));
    p.setPen(QPen(QColor(0x40, 0x08, 0x06), 1));
    p.setBrush(dot);
    p.drawEllipse(c, 9.5, 9.5);
}

void drawRecordKey(QPainter& p, bool pressed)
{
    const QPointF c(29, 29);
    roundKey(p, c, 28.5, pressed);
    recordGlyph(p, c + QPointF(0, pressed ? 0.8 : 0), pressed);
}

// A key shown while something runs (stop during a take, pause during playback): its glyph
// always glows a little and is filled top to bottom. Leaves the painter set up for the glyph and
// returns the glyph's centre.
QPointF runningKey(QPainter& p, bool pressed, const QColor& colour, double halfHeight,
                   double lighten, int darken, const QColor& outline)
{
    const QPointF c(29, pressed ? 29.8 : 29);
    roundKey(p, QPointF(29, 29), 28.5, pressed);
    softGlow(p, c, pressed ? 21 : 17, colour);
    QLinearGradient fill(c.x(), c.y() - halfHeight, c.x(), c.y() + halfHeight);
    fill.setColorAt(0, lighter(glyphColor(colour, pressed), lighten));
    fill.setColorAt(1, glyphColor(colour, pressed).darker(darken));
    p.setPen(QPen(outline, 1));
    p.setBrush(fill);
    return c;
}

void drawStopKey(QPainter& p, bool pressed)
{
    const QPointF c = runningKey(p, pressed, kRed, 8, 0.3, 120, QColor(0x40, 0x08, 0x06));
    p.drawRoundedRect(QRectF(c.x() - 8, c.y() - 8, 16, 16), 2.5, 2.5);
}

void drawAppendKey(QPainter& p, bool pressed)
{
    const QPointF c(29, pressed ? 29.8 : 29);
    roundKey(p, QPointF(29, 29), 28.5, pressed);
    recordGlyph(p, c + QPointF(-4, 0), pressed);
    // The plus: record onto the end.
    const QPointF plus = c + QPointF(10.5, -8.5);
    p.setPen(QPen(QColor(0, 0, 0, 150), 4.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(plus - QPointF(4, 0), plus + QPointF(4, 0));
    p.drawLine(plus - QPointF(0, 4), plus + QPointF(0, 4));
    p.setPen(QPen(glyphColor(kIcon, pressed), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(plus - QPointF(4, 0), plus + QPointF(4, 0));
    p.drawLine(plus - QPointF(0, 4), plus + QPointF(0, 4));
}

void drawPlayKey(QPainter& p, bool pressed)
{
    const QPointF c(29, pressed ? 29.8 : 29);
    roundKey(p, QPointF(29, 29), 28.5, pressed);
    if (pressed)
        softGlow(p, c, 19, kGreen);
    QPainterPath triangle;
    triangle.moveTo(c + QPointF(-6, -10));
    triangle.lineTo(c + QPointF(11, 0));
    triangle.lineTo(c + QPointF(-6, 10));
    triangle.closeSubpath();
    QLinearGradient fill(c.x(), c.y() - 10, c.x(), c.y() + 10);
    fill.setColorAt(0, lighter(glyphColor(kGreen, pressed), 0.35));
    fill.setColorAt(1, glyphColor(kGreen, pressed).darker(125));
    p.setPen(QPen(QColor(0x06, 0x30, 0x12), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(triangle);
}

void drawPauseKey(QPainter& p, bool pressed)
{
    const QPointF c = runningKey(p, pressed, kGreen, 10, 0.35, 125, QColor(0x06, 0x30, 0x12));
    p.drawRoundedRect(QRectF(c.x() - 8, c.y() - 10, 6, 20), 1.5, 1.5);
    p.drawRoundedRect(QRectF(c.x() + 2, c.y() - 10, 6, 20), 1.5, 1.5);
}

// The sludge buttons: ribbed grips beside the main keys, half see-through.
void drawGrip(QPainter& p, QSizeF size, bool ribsAcross)
{
    const QRectF r(1, 1, size.width() - 2, size.height() - 2);
    const double radius = std::min(r.width(), r.height()) / 2;
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, QColor(0, 0, 0, 120));
    fill.setColorAt(1, QColor(0, 0, 0, 60));
    p.setPen(QPen(QColor(255, 255, 255, 26), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
    const int ribs = 5;
    for (int i = 0; i < ribs; ++i) {
        const double t = (i + 1.0) / (ribs + 1.0);
        QLineF rib = ribsAcross ? QLineF(r.left() + 9, r.top() + t * r.height(), r.right() - 9,
                                         r.top() + t * r.height())
                                : QLineF(r.left() + t * r.width(), r.top() + 10,
                                         r.left() + t * r.width(), r.bottom() - 10);
        p.setPen(QPen(QColor(0, 0, 0, 150), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(rib);
        p.setPen(QPen(QColor(255, 255, 255, 34), 1.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(rib.translated(ribsAcross ? 0 : 1.2, ribsAcross ? 1.2 : 0));
    }
}

// ---- Mode toggles ----

void iconPen(QPainter& p, const QColor& color, double width)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
}

void arrowHead(QPainter& p, QPointF tip, double degrees, const QColor& color)
{
    const double a = degrees * kPi / 180.0;
    const QPointF back(-std::cos(a), std::sin(a));
    const QPointF side(std::sin(a), std::cos(a));
    QPainterPath head(tip);
    head.lineTo(tip + back * 5.0 + side * 3.2);
    head.lineTo(tip + back * 5.0 - side * 3.2);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(head);
}

// Spring mode: an arc that turns both ways and returns to its rest mark.
void drawJogToggle(QPainter& p)
{
    squareKey(p, QRectF(1, 1, 38, 38));
    const QPointF c(20, 21);
    iconPen(p, kAmber, 2.2);
    p.drawArc(QRectF(c.x() - 10, c.y() - 10, 20, 20), 30 * 16, 120 * 16);
    p.drawArc(QRectF(c.x() - 10, c.y() - 10, 20, 20), 210 * 16, 120 * 16);
    arrowHead(p, polar(c, 10, 30), -60, kAmber);
    arrowHead(p, polar(c, 10, 210), 120, kAmber);
    iconPen(p, kIcon, 2.0);
    p.drawLine(c - QPointF(0, 4), c + QPointF(0, 4));
}

// Notched mode: a ring with notches.
void drawShuttleToggle(QPainter& p)
{
    squareKey(p, QRectF(1, 1, 38, 38));
    const QPointF c(20, 21);
    iconPen(p, kIcon, 1.8);
    p.drawEllipse(c, 7.5, 7.5);
    for (int i = 0; i < 12; ++i) {
        const double a = i * 30.0;
        p.drawLine(polar(c, 10, a), polar(c, 12.5, a));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kIcon);
    p.drawEllipse(polar(c, 4, 90), 1.8, 1.8);
}

// Locate mode: a time line with a position marker.
void drawLocatorToggle(QPainter& p)
{
    squareKey(p, QRectF(1, 1, 38, 38));
    iconPen(p, kIcon, 2.0);
    p.drawLine(QPointF(9, 25), QPointF(31, 25));
    for (double x : {9.0, 16.3, 23.6, 31.0})
        p.drawLine(QPointF(x, 28), QPointF(x, 29.5));
    QPainterPath marker(QPointF(22, 23));
    marker.lineTo(QPointF(17, 16));
    marker.lineTo(QPointF(27, 16));
    marker.closeSubpath();
    p.setPen(QPen(kCyan, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kCyan);
    p.drawPath(marker);
    p.drawLine(QPointF(22, 10), QPointF(22, 16));
}

// Volume mode: a speaker with sound waves.
void drawVolumeToggle(QPainter& p)
{
    squareKey(p, QRectF(1, 1, 38, 38));
    QPainterPath speaker(QPointF(9, 17.5));
    speaker.lineTo(QPointF(13, 17.5));
    speaker.lineTo(QPointF(19, 12.5));
    speaker.lineTo(QPointF(19, 29.5));
    speaker.lineTo(QPointF(13, 24.5));
    speaker.lineTo(QPointF(9, 24.5));
    speaker.closeSubpath();
    p.setPen(QPen(kIcon, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kIcon);
    p.drawPath(speaker);
    iconPen(p, kAmber, 2.0);
    const QPointF c(19, 21);
    p.drawArc(QRectF(c.x() - 6, c.y() - 6, 12, 12), -45 * 16, 90 * 16);
    p.drawArc(QRectF(c.x() - 11, c.y() - 11, 22, 22), -45 * 16, 90 * 16);
}

// ---- Slider parts ----

void drawThumb(QPainter& p, bool locate)
{
    const QPointF c(10, 10);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawEllipse(c + QPointF(0, 0.8), 9.4, 9.4);
    QLinearGradient metal(0, 0.5, 0, 19.5);
    metal.setColorAt(0, QColor(0xf4, 0xf6, 0xf9));
    metal.setColorAt(0.55, QColor(0xa9, 0xaf, 0xb9));
    metal.setColorAt(1, QColor(0x6c, 0x72, 0x7c));
    p.setPen(QPen(QColor(0x1a, 0x1c, 0x20), 1));
    p.setBrush(metal);
    p.drawEllipse(c, 9, 9);
    QRadialGradient dimple(c + QPointF(0, 1), 6);
    dimple.setColorAt(0, QColor(0x8c, 0x92, 0x9c));
    dimple.setColorAt(1, QColor(0xd8, 0xdc, 0xe2));
    p.setPen(Qt::NoPen);
    p.setBrush(dimple);
    p.drawEllipse(c, 5.5, 5.5);
    if (locate) {
        p.setPen(QPen(kCyan.darker(130), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10, 5.5), QPointF(10, 14.5));
    } else {
        QRadialGradient led(c, 3);
        led.setColorAt(0, lighter(kAmber, 0.4));
        led.setColorAt(1, kAmber.darker(120));
        p.setBrush(led);
        p.drawEllipse(c, 2.8, 2.8);
    }
}

void drawTrack(QPainter& p, bool filled)
{
    const QRectF r(0.5, 1, 20, 7);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    if (filled) {
        fill.setColorAt(0, QColor(0x16, 0x6d, 0xa8));
        fill.setColorAt(0.5, kCyan);
        fill.setColorAt(1, QColor(0x8a, 0xe0, 0xff));
    } else {
        fill.setColorAt(0, QColor(0x06, 0x07, 0x08));
        fill.setColorAt(1, QColor(0x2e, 0x31, 0x37));
    }
    p.setPen(QPen(QColor(0, 0, 0, 200), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 3.5, 3.5);
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    p.drawLine(QPointF(3.5, 8.5), QPointF(17.5, 8.5));
}

// ---- Badges for quality and speed ----

void drawBadge(QPainter& p, const QString& text, const QColor& ink)
{
    const QRectF r(1, 1, 38, 22);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, QColor(0x3a, 0x3e, 0x46));
    fill.setColorAt(1, QColor(0x16, 0x17, 0x1a));
    p.setPen(QPen(QColor(0x6e, 0x74, 0x7f), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 5, 5);
    const double unit = text.size() > 3 ? 1.55 : 1.75;
    strokeText(p, text, QPointF(20, 12), unit,
               QPen(ink, 1.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void drawInfo(QPainter& p)
{
    const QPointF c(15, 15);
    p.setPen(QPen(QColor(0, 0, 0, 120), 3.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c + QPointF(0, 0.8), 9.5, 9.5);
    p.setPen(QPen(kIcon, 1.8));
    p.drawEllipse(c, 9.5, 9.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kIcon);
    p.drawEllipse(QPointF(15, 10.2), 1.5, 1.5);
    p.setPen(QPen(kIcon, 2.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 13.6), QPointF(15, 20));
}

// ---- The dashboard ----

// Where the wheel's centre lies in each picture: every round part shares it.
const QPointF kBackgroundCentre(160, 135);  // background at (0, 67) of the dashboard
const QPointF kMeterCentre(148, 154);       // level meter at (12, 48)
const QPointF kDisplayCentre(86, 86);       // time meter at (74, 116)
const QPointF kWheelCentre(114, 114);       // wheel at (46, 88)
const QPointF kShadowWheelCentre(109, 110); // shadow drawn at the wheel's origin + (5, 4)

constexpr double kWheelOuter = 112.0;
constexpr double kWheelInner = 84.0;
constexpr double kDisplayRadius = 85.0;
constexpr double kRingInner = 119.0;
constexpr double kRingOuter = 136.0;

void drawBackground(QPainter& p)
{
    const QRectF all(0, 0, 320, 367);
    QLinearGradient panel(0, 0, 0, 367);
    panel.setColorAt(0, kPanelTop);
    panel.setColorAt(1, kPanelBottom);
    p.fillRect(all, panel);

    // Brushed metal: faint horizontal streaks.
    Noise noise(20261206u);
    for (double y = 0.25; y < 367; y += 0.5) {
        const double v = noise.next();
        p.setPen(QPen(v > 0.5 ? QColor(255, 255, 255, static_cast<int>((v - 0.5) * 22))
                              : QColor(0, 0, 0, static_cast<int>((0.5 - v) * 30)),
                      0.5));
        p.drawLine(QPointF(0, y), QPointF(320, y));
    }

    // The round well that holds the meter ring and the wheel.
    const double well = 143;
    QRadialGradient inside(kBackgroundCentre, well);
    inside.setColorAt(0, QColor(0x0b, 0x0c, 0x0e));
    inside.setColorAt(0.85, QColor(0x12, 0x13, 0x16));
    inside.setColorAt(1, QColor(0x1c, 0x1e, 0x22));
    p.setPen(Qt::NoPen);
    p.setBrush(inside);
    p.drawEllipse(kBackgroundCentre, well, well);
    QLinearGradient lip(0, kBackgroundCentre.y() - well, 0, kBackgroundCentre.y() + well);
    lip.setColorAt(0, QColor(0, 0, 0, 220));
    lip.setColorAt(1, QColor(255, 255, 255, 70));
    p.setPen(QPen(QBrush(lip), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(kBackgroundCentre, well, well);

    // Wells for the two mode toggles and the slider.
    auto recess = [&](const QRectF& r, double radius) {
        QLinearGradient fill(r.topLeft(), r.bottomLeft());
        fill.setColorAt(0, QColor(0x08, 0x09, 0x0a));
        fill.setColorAt(1, QColor(0x17, 0x18, 0x1b));
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(r, radius, radius);
        QLinearGradient edge(r.topLeft(), r.bottomLeft());
        edge.setColorAt(0, QColor(0, 0, 0, 200));
        edge.setColorAt(1, QColor(255, 255, 255, 60));
        p.setPen(QPen(QBrush(edge), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r, radius, radius);
    };
    recess(QRectF(7.5, 2.5, 45, 45), 10);
    recess(QRectF(7.5, 280.5, 45, 45), 10);
    recess(QRectF(22.5, 331.5, 277, 30), 10);

    // Screws in the corners of the lower panel.
    for (QPointF at : {QPointF(296, 296), QPointF(296, 20)}) {
        QRadialGradient head(at - QPointF(1, 1), 5);
        head.setColorAt(0, QColor(0x9a, 0x9f, 0xa8));
        head.setColorAt(1, QColor(0x3a, 0x3d, 0x43));
        p.setPen(QPen(QColor(0, 0, 0, 180), 1));
        p.setBrush(head);
        p.drawEllipse(at, 4.5, 4.5);
        p.setPen(QPen(QColor(0x2a, 0x2c, 0x30), 1.2));
        p.drawLine(at + QPointF(-3, 3), at + QPointF(3, -3));
    }
}

// The level ring: 60 segments around the wheel, green low, amber, red at the top. Both looks
// share the geometry so the lit one lines up over the unlit one.
void drawLevelRing(QPainter& p, bool lit)
{
    const QPointF c = kMeterCentre;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x06, 0x07, 0x08, 230));
    p.drawPath(annulus(c, kRingInner - 4, kRingOuter + 3));

    const int segments = 60;
    const double step = 360.0 / segments;
    for (int i = 0; i < segments; ++i) {
        const double start = 90.0 + i * step + 0.9;
        const QPainterPath segment = sector(c, kRingInner, kRingOuter, start, step - 1.8);
        const QPointF mid = polar(c, (kRingInner + kRingOuter) / 2, start + step / 2 - 0.9);
        // Height above the bottom of the picture, as the meter reveals it: 0 bottom, 1 top.
        const double height = 1.0 - mid.y() / 293.0;
        const QColor hue = height > 0.82 ? kRed : height > 0.58 ? kAmber : kGreen;
        if (lit) {
            p.setPen(QPen(withAlpha(hue, 70), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPath(segment);
            QRadialGradient core(mid, (kRingOuter - kRingInner) * 0.9);
            core.setColorAt(0, lighter(hue, 0.55));
            core.setColorAt(1, hue);
            p.setPen(Qt::NoPen);
            p.setBrush(core);
        } else {
            p.setPen(QPen(QColor(0x3a, 0x3d, 0x43), 0.6));
            p.setBrush(QColor(hue.red() / 7 + 0x1c, hue.green() / 7 + 0x1c, hue.blue() / 7 + 0x1e));
        }
        p.drawPath(segment);
    }
}

// The backlit display in the hole of the wheel; lit it glows amber.
void drawDisplay(QPainter& p, bool lit)
{
    const QPointF c = kDisplayCentre;
    QRadialGradient glass(c + QPointF(0, -20), kDisplayRadius * 1.2);
    if (lit) {
        glass.setColorAt(0, QColor(0xff, 0xe0, 0x9a));
        glass.setColorAt(0.7, QColor(0xf7, 0xba, 0x4e));
        glass.setColorAt(1, QColor(0xd0, 0x86, 0x1c));
    } else {
        glass.setColorAt(0, QColor(0xc4, 0xc9, 0xba));
        glass.setColorAt(0.7, QColor(0xa4, 0xab, 0x9c));
        glass.setColorAt(1, QColor(0x7c, 0x83, 0x76));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(glass);
    p.drawEllipse(c, kDisplayRadius, kDisplayRadius);

    // Minute marks round the edge of the glass.
    for (int i = 0; i < 60; ++i) {
        const double a = 90.0 - i * 6.0;
        const bool major = i % 5 == 0;
        p.setPen(QPen(QColor(0, 0, 0, major ? 120 : 60), major ? 1.6 : 1.0, Qt::SolidLine,
                      Qt::RoundCap));
        p.drawLine(polar(c, major ? 70 : 73, a), polar(c, 77, a));
    }

    // The wheel's lip shades the top of the glass.
    QLinearGradient shade(0, c.y() - kDisplayRadius, 0, c.y() - kDisplayRadius + 30);
    shade.setColorAt(0, QColor(0, 0, 0, 90));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.setBrush(shade);
    p.setPen(Qt::NoPen);
    p.drawEllipse(c, kDisplayRadius, kDisplayRadius);
}

// The wheel ring's common body: a metal ring with a finger dimple at the top.
void drawWheelRing(QPainter& p, bool rubber)
{
    const QPointF c = kWheelCentre;
    const QPainterPath ring = annulus(c, kWheelInner, kWheelOuter);
    QConicalGradient metal(c, 45);
    const QColor a = rubber ? QColor(0x1c, 0x1e, 0x22) : QColor(0x2a, 0x2d, 0x33);
    const QColor b = rubber ? QColor(0x2a, 0x2d, 0x32) : QColor(0x5c, 0x62, 0x6c);
    for (int i = 0; i <= 8; ++i)
        metal.setColorAt(i / 8.0, i % 2 ? b : a);
    p.setPen(Qt::NoPen);
    p.setBrush(metal);
    p.drawPath(ring);

    // Edges: dark outside, a bright chamfer on the inner lip.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 0, 220), 1.5));
    p.drawEllipse(c, kWheelOuter - 0.75, kWheelOuter - 0.75);
    p.setPen(QPen(QColor(255, 255, 255, 50), 1.0));
    p.drawEllipse(c, kWheelOuter - 2.5, kWheelOuter - 2.5);
    p.setPen(QPen(QColor(0x0a, 0x0b, 0x0c), 2.0));
    p.drawEllipse(c, kWheelInner + 1, kWheelInner + 1);
    p.setPen(QPen(QColor(255, 255, 255, 70), 1.0));
    p.drawEllipse(c, kWheelInner + 2.6, kWheelInner + 2.6);
}

void drawDimple(QPainter& p, QPointF at, const QColor& accent)
{
    QRadialGradient dish(at + QPointF(0, -3), 12);
    dish.setColorAt(0, QColor(0x0e, 0x0f, 0x11));
    dish.setColorAt(0.8, QColor(0x30, 0x33, 0x39));
    dish.setColorAt(1, QColor(0x5a, 0x5f, 0x68));
    p.setPen(QPen(QColor(0, 0, 0, 200), 1));
    p.setBrush(dish);
    p.drawEllipse(at, 11, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawEllipse(at, 1.8, 1.8);
}

// Notched mode: 100 engraved notches, one per step.
void drawNotchedWheel(QPainter& p)
{
    drawWheelRing(p, false);
    const QPointF c = kWheelCentre;
    for (int i = 0; i < 100; ++i) {
        const double a = 90.0 + i * 3.6;
        p.setPen(QPen(QColor(0, 0, 0, 170), 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(polar(c, 102, a), polar(c, 109, a));
        p.setPen(QPen(QColor(255, 255, 255, 40), 0.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(polar(c, 102, a - 0.6), polar(c, 109, a - 0.6));
    }
    drawDimple(p, polar(c, 97, 90), kIcon);
}

// Spring mode: a matte rubber ring with arrows both ways from the rest mark.
void drawSpringWheel(QPainter& p)
{
    drawWheelRing(p, true);
    const QPointF c = kWheelCentre;
    for (int i = 0; i < 72; ++i) {
        const double a = i * 5.0;
        p.setPen(QPen(QColor(0, 0, 0, 120), 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(polar(c, 88, a), polar(c, 92, a));
    }
    iconPen(p, kAmber, 2.4);
    const QRectF arc(c.x() - 101, c.y() - 101, 202, 202);
    p.drawArc(arc, 105 * 16, 45 * 16);
    p.drawArc(arc, 30 * 16, 45 * 16);
    arrowHead(p, polar(c, 101, 152), -150 + 180 - 90 - 62 + 180, kAmber);
    arrowHead(p, polar(c, 101, 28), -62 - 90 + 90, kAmber);
    drawDimple(p, polar(c, 97, 90), kAmber);
}

// Laid over the wheel: the wheel's shadow on the panel, a gloss on the ring that stays put as
// the wheel turns, and the lip's shade on the display.
void drawShadow(QPainter& p)
{
    const QPointF c = kShadowWheelCentre;
    QPainterPath outside;
    outside.addRect(QRectF(0, 0, 228, 228));
    QPainterPath wheel;
    wheel.addEllipse(c, kWheelOuter, kWheelOuter);
    p.save();
    p.setClipPath(outside.subtracted(wheel));
    QRadialGradient drop(c + QPointF(3, 5), kWheelOuter + 8);
    drop.setColorAt((kWheelOuter - 6) / (kWheelOuter + 8), QColor(0, 0, 0, 150));
    drop.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(drop);
    p.drawEllipse(c + QPointF(3, 5), kWheelOuter + 8, kWheelOuter + 8);
    p.restore();

    p.save();
    p.setClipPath(annulus(c, kWheelInner, kWheelOuter));
    QRadialGradient gloss(c + QPointF(-55, -70), 95);
    gloss.setColorAt(0, QColor(255, 255, 255, 70));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRect(QRectF(0, 0, 228, 228));
    QRadialGradient dark(c + QPointF(60, 75), 110);
    dark.setColorAt(0, QColor(0, 0, 0, 90));
    dark.setColorAt(1, QColor(0, 0, 0, 0));
    p.setBrush(dark);
    p.drawRect(QRectF(0, 0, 228, 228));
    p.restore();

    p.save();
    QPainterPath hole;
    hole.addEllipse(c, kWheelInner, kWheelInner);
    QPainterPath lower;
    lower.addEllipse(c + QPointF(0, 7), kWheelInner, kWheelInner);
    p.setClipPath(hole);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawPath(hole.subtracted(lower));
    p.restore();
}

std::vector<ImageRecipe> makeRecipes()
{
    std::vector<ImageRecipe> recipes;
    auto add = [&](const char* name, QSize size, std::function<void(QPainter&)> draw) {
        recipes.push_back({QString::fromLatin1(name), size, std::move(draw)});
    };
    const QSize key(58, 58);
    add("record.png", key, [](QPainter& p) { drawRecordKey(p, false); });
    add("record_pressed.png", key, [](QPainter& p) { drawRecordKey(p, true); });
    add("stop.png", key, [](QPainter& p) { drawStopKey(p, false); });
    add("stop_pressed.png", key, [](QPainter& p) { drawStopKey(p, true); });
    add("append.png", key, [](QPainter& p) { drawAppendKey(p, false); });
    add("append_pressed.png", key, [](QPainter& p) { drawAppendKey(p, true); });
    add("play_up.png", key, [](QPainter& p) { drawPlayKey(p, false); });
    add("play_pressed.png", key, [](QPainter& p) { drawPlayKey(p, true); });
    add("pause_up.png", key, [](QPainter& p) { drawPauseKey(p, false); });
    add("pause_pressed.png", key, [](QPainter& p) { drawPauseKey(p, true); });
    add("sludgebutton.png", {68, 42}, [](QPainter& p) { drawGrip(p, {68, 42}, false); });
    add("sludgebutton2.png", {33, 62}, [](QPainter& p) { drawGrip(p, {33, 62}, true); });
    add("jogtoggle.png", {40, 40}, drawJogToggle);
    add("shuttletoggle.png", {40, 40}, drawShuttleToggle);
    add("locator_toggle.png", {40, 40}, drawLocatorToggle);
    add("volume_toggle.png", {40, 40}, drawVolumeToggle);
    add("slider_thumb.png", {20, 20}, [](QPainter& p) { drawThumb(p, false); });
    add("slider_lvthumb.png", {20, 20}, [](QPainter& p) { drawThumb(p, true); });
    add("slider_blue.png", {21, 9}, [](QPainter& p) { drawTrack(p, true); });
    add("slider_gray.png", {21, 9}, [](QPainter& p) { drawTrack(p, false); });
    add("dbbackground.png", {320, 367}, drawBackground);
    add("meters_lit.png", {293, 293}, [](QPainter& p) { drawLevelRing(p, true); });
    add("meter_unlit.png", {293, 293}, [](QPainter& p) { drawLevelRing(p, false); });
    add("displaycircle.png", {173, 173}, [](QPainter& p) { drawDisplay(p, false); });
    add("displaycircle_filled.png", {173, 173}, [](QPainter& p) { drawDisplay(p, true); });
    add("Oval.png", {228, 228}, drawNotchedWheel);
    add("jog.png", {228, 228}, drawSpringWheel);
    add("Shadow.png", {228, 228}, drawShadow);
    add("info.png", {30, 30}, drawInfo);
    const QSize badge(40, 24);
    add("LQ.png", badge, [](QPainter& p) { drawBadge(p, "LQ", kIcon); });
    add("MQ.png", badge, [](QPainter& p) { drawBadge(p, "MQ", kIcon); });
    add("HQ.png", badge, [](QPainter& p) { drawBadge(p, "HQ", kAmber); });
    // The speed badges show the true speeds: 0.75, 1.0 and 1.5 times.
    add("1-2x.png", badge, [](QPainter& p) { drawBadge(p, "0.75x", kCyan); });
    add("1x.png", badge, [](QPainter& p) { drawBadge(p, "1x", kIcon); });
    add("2x.png", badge, [](QPainter& p) { drawBadge(p, "1.5x", kCyan); });
    return recipes;
}

} // namespace

const std::vector<ImageRecipe>& imageRecipes()
{
    static const std::vector<ImageRecipe> recipes = makeRecipes();
    return recipes;
}

QImage render(const ImageRecipe& recipe, int scale)
{
    QImage image(recipe.size * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        recipe.draw(painter);
    }
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    // 72 points per inch at 1x, so image viewers show both files at the same size.
    const int dotsPerMeter = qRound(72.0 * scale / 0.0254);
    out.setDotsPerMeterX(dotsPerMeter);
    out.setDotsPerMeterY(dotsPerMeter);
    return out;
}

QStringList writeImages(const QString& directory, QString* error)
{
    if (!QDir().mkpath(directory)) {
        if (error)
            *error = directory + QStringLiteral(": cannot create");
        return {};
    }
    QStringList written;
    for (const ImageRecipe& recipe : imageRecipes()) {
        for (int scale : {1, 2}) {
            const QString base = recipe.name.chopped(4);
            const QString name = scale == 1 ? recipe.name : base + QStringLiteral("@2x.png");
            const QString path = directory + QLatin1Char('/') + name;
            if (!render(recipe, scale).save(path, "PNG")) {
                if (error)
                    *error = path + QStringLiteral(": cannot write");
                return {};
            }
            written << name;
        }
    }
    return written;
}

} // namespace sonavell::artwork
