// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/FocusRing.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
// The margin around the control the ring's widget covers: the outset and the dark edge.
constexpr int kMargin = FocusRing::kOutset + 3;
const QColor kRingColour(90, 176, 255);
const QColor kEdgeColour(0, 0, 0, 170);
} // namespace

FocusRing::FocusRing(QWidget* root)
    : QFocusFrame(root)
    , m_root(root)
{
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    m_root->installEventFilter(this);
}

void FocusRing::follow(QWidget* control)
{
    if (control == m_control) {
        place();
        return;
    }
    watch(false);
    m_control = control;
    watch(true);
    place();
}

void FocusRing::watch(bool on)
{
    if (!on) {
        for (const QPointer<QWidget>& w : m_watched) {
            if (w)
                w->removeEventFilter(this);
        }
        m_watched.clear();
        return;
    }
    for (QWidget* w = m_control; w && w != m_root; w = w->parentWidget()) {
        w->installEventFilter(this);
        m_watched << w;
    }
}

void FocusRing::place()
{
    QWidget* control = m_control;
    if (!control || !control->isVisible() || !m_root->isAncestorOf(control)) {
        m_controlRect = QRect();
        hide();
        return;
    }
    // The part of the control that its parents leave in view.
    QRect visible(control->mapTo(m_root, QPoint(0, 0)), control->size());
    for (QWidget* up = control->parentWidget(); up && up != m_root; up = up->parentWidget())
        visible &= QRect(up->mapTo(m_root, QPoint(0, 0)), up->size());
    visible &= m_root->rect();
    m_controlRect = visible;
    if (visible.isEmpty()) {
        hide();
        return;
    }
    setGeometry(visible.adjusted(-kMargin, -kMargin, kMargin, kMargin) & m_root->rect());
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ParentChange:
        if (watched == m_root || m_watched.contains(qobject_cast<QWidget*>(watched)))
            place();
        break;
    default:
        break;
    }
    return QFocusFrame::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent*)
{
    if (m_controlRect.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF around = QRectF(m_controlRect.translated(-pos()))
                              .adjusted(-kOutset, -kOutset, kOutset, kOutset)
                              .adjusted(kWidth / 2, kWidth / 2, -kWidth / 2, -kWidth / 2);
    const qreal radius = 4.0;
    // A dark edge on both sides keeps the bright ring visible on light rows and on dark steel.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kEdgeColour, kWidth + 2.0));
    painter.drawRoundedRect(around, radius, radius);
    painter.setPen(QPen(kRingColour, kWidth));
    painter.drawRoundedRect(around, radius, radius);
}
