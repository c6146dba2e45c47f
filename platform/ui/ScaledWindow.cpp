#include "platform/ui/ScaledWindow.h"

#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {
// The dashboard's dark steel, which also fills the strip below its pictures.
const QColor kBackgroundColour(24, 24, 26);
} // namespace

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
    m_proxy = scene->addWidget(m_content);
    // The view only draws what changed inside the application view; nothing is cached at one
    // scale and stretched to another.
    m_proxy->setCacheMode(QGraphicsItem::NoCache);
    resize(pointSize);
    relayout();
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

void ScaledWindow::drawBackground(QPainter* painter, const QRectF& rect)
{
    painter->fillRect(rect, kBackgroundColour);
}
