// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AlertLayer.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>

#include <algorithm>

AlertLayer& AlertLayer::instance()
{
    static AlertLayer layer;
    return layer;
}

void AlertLayer::setHost(QWidget* host)
{
    AlertLayer& layer = instance();
    if (layer.m_host)
        layer.m_host->removeEventFilter(&layer);
    layer.m_host = host;
    // A presentation asked for before there was a window to draw it in comes up now.
    layer.showNext();
}

QWidget* AlertLayer::host()
{
    return instance().m_host;
}

QWidget* AlertLayer::hostFor(QWidget* near) const
{
    if (m_host)
        return m_host;
    if (near)
        return near->window();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto visible =
        std::find_if(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); });
    return visible == windows.end() ? nullptr : *visible;
}

void AlertLayer::present(QObject* owner, QWidget* near, Builder build, std::function<void()> escape)
{
    AlertLayer& layer = instance();
    layer.m_queue.push_back(Entry{owner, near, std::move(build), std::move(escape)});
    layer.showNext();
}

void AlertLayer::withdraw(QObject* owner)
{
    AlertLayer& layer = instance();
    if (layer.m_queue.empty())
        return;
    if (layer.m_queue.front().owner == owner || !layer.m_queue.front().owner) {
        layer.m_queue.pop_front();
        layer.m_frontShown = false;
        if (layer.m_overlay) {
            // Later: the overlay's own button may be what withdraws it.
            layer.m_overlay->hide();
            layer.m_overlay->deleteLater();
            layer.m_overlay = nullptr;
        }
    }
    layer.m_queue.erase(std::remove_if(layer.m_queue.begin(), layer.m_queue.end(),
                                       [owner](const Entry& e) { return e.owner == owner; }),
                        layer.m_queue.end());
    layer.showNext();
}

QObject* AlertLayer::current()
{
    const AlertLayer& layer = instance();
    return layer.m_queue.empty() ? nullptr : layer.m_queue.front().owner.data();
}

QWidget* AlertLayer::currentOverlay()
{
    return instance().m_overlay;
}

int AlertLayer::waitingCount()
{
    const AlertLayer& layer = instance();
    return layer.m_queue.empty() ? 0 : int(layer.m_queue.size()) - 1;
}

bool AlertLayer::escapeCurrent()
{
    AlertLayer& layer = instance();
    if (layer.m_queue.empty() || !layer.m_queue.front().owner)
        return false;
    // A copy: the action withdraws the entry it belongs to.
    const std::function<void()> escape = layer.m_queue.front().escape;
    if (escape)
        escape();
    return true;
}

void AlertLayer::showNext()
{
    while (!m_queue.empty() && !m_queue.front().owner)
        m_queue.pop_front();
    if (m_queue.empty() || m_frontShown)
        return;
    Entry& front = m_queue.front();
    QWidget* host = hostFor(front.near);
    // No window yet (an alert of the start-up, raised before the screens are built): it waits
    // at the front, and comes up when a host is set. Without a screen at all it is only
    // recorded by its owner.
    if (!host)
        return;
    m_frontShown = true;
    auto* overlay = new QWidget(host);
    m_overlay = overlay;
    overlay->setObjectName(QStringLiteral("AlertLayerOverlay"));
    overlay->setAttribute(Qt::WA_StyledBackground);
    overlay->setStyleSheet(QStringLiteral("#AlertLayerOverlay { background: rgba(0,0,0,110); }"));
    overlay->setGeometry(host->rect());
    // The overlay holds the keyboard while it shows, so keys do not reach the screen below.
    overlay->setFocusPolicy(Qt::StrongFocus);
    host->installEventFilter(this);
    overlay->installEventFilter(this);
    front.build(overlay);
    overlay->show();
    overlay->raise();
    if (!overlay->focusWidget())
        overlay->setFocus(Qt::OtherFocusReason);
}

bool AlertLayer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched == m_overlay &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        escapeCurrent();
        return true;
    }
    // The dimming keeps covering the application view as the window changes size.
    if (event->type() == QEvent::Resize && m_overlay && watched == m_overlay->parentWidget())
        m_overlay->setGeometry(m_overlay->parentWidget()->rect());
    return QObject::eventFilter(watched, event);
}
