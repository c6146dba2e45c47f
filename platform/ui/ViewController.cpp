// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ViewController.h"

#include "platform/ui/NavigationController.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QPropertyAnimation>

ViewController::ViewController(QWidget* parent)
    : QWidget(parent)
{
}

void ViewController::setTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit titleChanged(title);
}

void ViewController::setRightBarButton(QAbstractButton* button)
{
    m_rightBarButton = button;
    emit rightBarButtonChanged();
}

void ViewController::setLeftBarButton(QAbstractButton* button)
{
    m_leftBarButton = button;
    emit leftBarButtonChanged();
}

void ViewController::presentModalViewController(ViewController* modal, bool animated)
{
    if (!modal || modal == this || m_modalViewController || modal->m_presentingViewController)
        return;
    QWidget* host = m_navigationController ? static_cast<QWidget*>(m_navigationController) : this;
    viewWillDisappear(animated);
    modal->viewWillAppear(animated);
    m_modalViewController = modal;
    modal->m_presentingViewController = this;
    if (modal->parentWidget() != host)
        modal->setParent(host);
    modal->setGeometry(host->rect());
    host->installEventFilter(this);
    modal->show();
    modal->raise();
    viewDidDisappear(animated);
    modal->viewDidAppear(animated);
}

void ViewController::dismissModalViewControllerAnimated(bool animated)
{
    if (!m_modalViewController) {
        if (m_presentingViewController)
            m_presentingViewController->dismissModalViewControllerAnimated(animated);
        return;
    }
    ViewController* modal = m_modalViewController;
    if (animated && modal->isVisible() && modal->parentWidget())
        slideAway(modal);
    modal->viewWillDisappear(animated);
    viewWillAppear(animated);
    if (modal->parentWidget())
        modal->parentWidget()->removeEventFilter(this);
    modal->hide();
    m_modalViewController = nullptr;
    modal->m_presentingViewController = nullptr;
    modal->viewDidDisappear(animated);
    viewDidAppear(animated);
}

void ViewController::slideAway(ViewController* modal)
{
    // The screen itself goes at once, so its state is settled when dismissal returns; a picture
    // of it slides down out of the host and takes no touches on the way.
    QWidget* host = modal->parentWidget();
    auto* ghost = new QLabel(host);
    ghost->setAttribute(Qt::WA_TransparentForMouseEvents);
    ghost->setPixmap(modal->grab());
    ghost->setGeometry(modal->geometry());
    ghost->show();
    ghost->raise();
    auto* slide = new QPropertyAnimation(ghost, "pos", ghost);
    slide->setDuration(kModalAnimationMs);
    slide->setStartValue(ghost->pos());
    slide->setEndValue(ghost->pos() + QPoint(0, host->height()));
    slide->setEasingCurve(QEasingCurve::InCubic);
    connect(slide, &QPropertyAnimation::finished, ghost, &QObject::deleteLater);
    slide->start();
}

bool ViewController::eventFilter(QObject* watched, QEvent* event)
{
    // The modal screen keeps covering its host as the host changes size.
    if (event->type() == QEvent::Resize && m_modalViewController &&
        watched == m_modalViewController->parentWidget())
        m_modalViewController->setGeometry(static_cast<QWidget*>(watched)->rect());
    return QWidget::eventFilter(watched, event);
}
