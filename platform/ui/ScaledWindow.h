// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGraphicsView>
#include <QRegion>
#include <QSize>

class QGraphicsProxyWidget;
class QScreen;

// The application's top-level window. The application view inside it is laid out in points, at
// a fixed width (320) and at least a fixed height (480), and the whole of it is scaled uniformly
// to the window: a window taller than the view's proportions makes the view taller in points
// (list screens show more rows), a wider one leaves bands at the sides filled with the
// background. Text and the double-density artwork are drawn at the scale, so they stay sharp.
class ScaledWindow : public QGraphicsView
{
    Q_OBJECT
public:
    explicit ScaledWindow(QSize pointSize = QSize(320, 480), QWidget* parent = nullptr);
    ~ScaledWindow() override;

    // The application view: put the screens in it. Its width is always the point width.
    QWidget* contentView() const { return m_content; }
    QSize pointSize() const { return m_pointSize; }
    // Window pixels per point.
    qreal scale() const { return m_scale; }

    // The size the window opens at on `screen`: about two thirds of a landscape screen's
    // height with the view's proportions; a portrait screen (a phone) is filled whole.
    static QSize preferredSize(QScreen* screen, QSize pointSize);
    // Gives the window its preferred size for its screen before it is shown (on a phone: the
    // whole screen).
    void applyPreferredSize();

    // Where a point of the application view lies in the window (for tests and screenshots).
    QPointF mapFromContent(QPointF point) const;

    // Draws the parts of `region` (in the widget's coordinates) of a widget in an application
    // view again, each part by itself. QWidget::update merges the changes in one application
    // view into their bounding rectangle on their way through the scene, so two small changes
    // far apart (the two sides of a ring) would draw every widget between them again. Outside
    // a scaled window, or for a hidden widget, it is widget->update(region).
    static void updateParts(QWidget* widget, const QRegion& region);

signals:
    void scaleChanged(qreal scale);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void drawBackground(QPainter* painter, const QRectF& rect) override;

private:
    class ContentProxy;
    void relayout();

    QSize m_pointSize;
    qreal m_scale = 1.0;
    QWidget* m_content = nullptr;
    QGraphicsProxyWidget* m_proxy = nullptr;
    // The parts of the window being repainted, in viewport pixels, while a paint runs.
    QRegion m_exposed;
};
