// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ScaledWindow.h"

#include "platform/ui/ScaledWindowAccessible.h"

#include <QApplication>
#include <QGraphicsEffect>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QStyleOptionGraphicsItem>

#include <algorithm>
#include <cmath>

namespace {
// The dashboard's dark steel, which also fills the strip below its pictures.
const QColor kBackgroundColour(24, 24, 26);
} // namespace

// The application view's stand-in in the scene. A plain proxy draws the bounding rectangle of
// what changed, so two small changes far apart (a meter's two sides, a read-out and a meter)
// draw every widget between them; this one draws exactly the parts of the view that the
// window repaints, and no widget outside them. A part that lies inside a screen that fills its
// background is drawn from that screen down, which spares walking every widget of every other
// screen (QWidget::render first delivers the whole tree's pending move and resize events).
class ScaledWindow::ContentProxy : public QGraphicsProxyWidget
{
public:
    explicit ContentProxy(ScaledWindow* window)
        : m_window(window)
    {
    }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override
    {
        QWidget* content = this->widget();
        const QRegion& exposed = m_window->m_exposed;
        if (!content || !content->isVisible() || exposed.isEmpty() ||
            painter->device()->devType() != QInternal::Widget) {
            QGraphicsProxyWidget::paint(painter, option, widget);
            return;
        }
        const QRect bounds = (option->exposedRect & rect()).toAlignedRect();
        // The window's repainted parts, from the viewport to the view's points, each rounded
        // out to whole points.
        const QTransform toContent = (sceneTransform() * m_window->viewportTransform()).inverted();
        QRegion region;
        for (const QRect& part : exposed)
            region += toContent.mapRect(QRectF(part)).toAlignedRect();
        region &= bounds;
        if (region.isEmpty())
            return;
        QPoint origin;
        QWidget* root = drawingRoot(content, region, &origin);
        const QRegion source = region.translated(-origin);
        root->render(painter, origin + source.boundingRect().topLeft(), source);
    }

private:
    // The widget to draw `region` (in the application view's points) from, and its origin
    // there: the deepest widget that holds the whole region, is the topmost one there at each
    // level, and fills its background with an opaque brush, so that nothing under it shows
    // and nothing over it reaches the region; the application view when there is none.
    static QWidget* drawingRoot(QWidget* content, const QRegion& region, QPoint* origin)
    {
        const QRect bounds = region.boundingRect();
        QWidget* root = content;
        *origin = QPoint();
        QWidget* level = content;
        QPoint levelOrigin;
        for (;;) {
            QWidget* next = nullptr;
            const QObjectList& children = level->children();
            for (auto it = children.crbegin(); it != children.crend() && !next; ++it) {
                auto* child = qobject_cast<QWidget*>(*it);
                if (!child || child->isWindow() || child->isHidden())
                    continue;
                const QRect geometry = child->geometry().translated(levelOrigin);
                if (!region.intersects(geometry))
                    continue;
                if (!geometry.contains(bounds) || child->graphicsEffect())
                    return root;
                next = child;
                levelOrigin = geometry.topLeft();
            }
            if (!next)
                return root;
            if (next->autoFillBackground() &&
                next->palette().brush(next->backgroundRole()).isOpaque() &&
                next->mask().isEmpty() && !next->testAttribute(Qt::WA_TranslucentBackground)) {
                root = next;
                *origin = levelOrigin;
            }
            level = next;
        }
    }

    ScaledWindow* m_window;
};

ScaledWindow::ScaledWindow(QSize pointSize, QWidget* parent)
    : QGraphicsView(parent)
    , m_pointSize(pointSize)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignCenter);
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                   QPainter::SmoothPixmapTransform);
    setViewportUpdateMode(QGraphicsView::MinimalViewportUpdate);
    setOptimizationFlag(QGraphicsView::DontSavePainterState);
    setMinimumSize(pointSize / 2);

    auto* scene = new QGraphicsScene(this);
    setScene(scene);
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("applicationView"));
    // The view is no window of its own: closing the real window is closing the last one.
    m_content->setAttribute(Qt::WA_QuitOnClose, false);
    m_content->resize(pointSize);
    m_proxy = new ContentProxy(this);
    m_proxy->setWidget(m_content);
    scene->addItem(m_proxy);
    // The view only draws what changed inside the application view; nothing is cached at one
    // scale and stretched to another.
    m_proxy->setCacheMode(QGraphicsItem::NoCache);
    resize(pointSize);
    relayout();
    ScaledWindowAccessible::attach(this);
}

ScaledWindow::~ScaledWindow() = default;

QSize ScaledWindow::preferredSize(QScreen* screen, QSize pointSize)
{
    if (!screen)
        return pointSize;
    const QRect available = screen->availableGeometry();
    if (available.height() > available.width())
        return available.size();
    const int height = std::max(pointSize.height(), available.height() * 2 / 3);
    const int width = int(std::lround(double(height) * pointSize.width() / pointSize.height()));
    return {width, height};
}

void ScaledWindow::applyPreferredSize()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    resize(preferredSize(screen, m_pointSize));
    // A phone shell: the window takes the whole screen, the view is filled edge to edge.
    if (screen && screen->availableGeometry().height() > screen->availableGeometry().width())
        setWindowState(windowState() | Qt::WindowFullScreen);
}

void ScaledWindow::updateParts(QWidget* widget, const QRegion& region)
{
    if (!widget || region.isEmpty())
        return;
    QWidget* content = widget->window();
    QGraphicsProxyWidget* proxy = content->graphicsProxyWidget();
    if (!proxy || !proxy->scene() || !widget->isVisible() || !widget->updatesEnabled()) {
        widget->update(region);
        return;
    }
    const QRegion parts = region & widget->rect();
    const QPoint offset = widget->mapTo(content, QPoint(0, 0));
    const QTransform toScene = proxy->sceneTransform();
    for (QGraphicsView* view : proxy->scene()->views()) {
        QWidget* viewport = view->viewport();
        const QTransform toViewport = toScene * view->viewportTransform();
        for (const QRect& part : parts) {
            // Two pixels more on each side, as the view adds to an item's own updates for
            // smoothed edges.
            const QRect mapped =
                toViewport.mapRect(QRectF(part.translated(offset))).toAlignedRect();
            viewport->update(mapped.adjusted(-2, -2, 2, 2));
        }
    }
}

QPointF ScaledWindow::mapFromContent(QPointF point) const
{
    return QPointF(mapFromScene(m_proxy->mapToScene(point)));
}

void ScaledWindow::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    relayout();
}

void ScaledWindow::relayout()
{
    const QSize window = viewport()->size();
    if (window.isEmpty())
        return;
    const qreal scale = std::min(qreal(window.width()) / m_pointSize.width(),
                                 qreal(window.height()) / m_pointSize.height());
    // Taller than the view's proportions: the view grows in points to fill the height.
    const int pointHeight =
        std::max(m_pointSize.height(), int(std::floor(window.height() / scale + 1e-6)));
    m_content->resize(m_pointSize.width(), pointHeight);
    scene()->setSceneRect(0, 0, m_pointSize.width(), pointHeight);
    setTransform(QTransform::fromScale(scale, scale));
    centerOn(m_pointSize.width() / 2.0, pointHeight / 2.0);
    if (!qFuzzyCompare(scale, m_scale)) {
        m_scale = scale;
        emit scaleChanged(scale);
    }
}

void ScaledWindow::paintEvent(QPaintEvent* event)
{
    // The proxy draws exactly these parts of the application view.
    m_exposed = event->region();
    QGraphicsView::paintEvent(event);
    m_exposed = QRegion();
}

void ScaledWindow::drawBackground(QPainter* painter, const QRectF& rect)
{
    painter->fillRect(rect, kBackgroundColour);
}
