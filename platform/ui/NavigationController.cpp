// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/NavigationController.h"

#include "platform/ui/FitLabel.h"
#include "platform/ui/NavigationBarButton.h"
#include "platform/ui/ViewController.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

NavigationController::NavigationController(QWidget* parent)
    : QWidget(parent)
{
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("navigationBar"));
    bar->setFixedHeight(kNavigationBarHeight);
    // The bar wears the dashboard's dark steel.
    bar->setAttribute(Qt::WA_StyledBackground);
    bar->setStyleSheet(QStringLiteral(
        "#navigationBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #6c717a,"
        " stop:0.5 #40444b, stop:1 #24262b); border-bottom: 1px solid #0c0d0f; }"
        " #titleLabel { color: white; font-size: 17px; font-weight: bold; }"));
    m_barLayout = new QHBoxLayout(bar);
    m_barLayout->setContentsMargins(5, 0, 5, 0);

    m_backButton = new NavigationBarButton(QString(), NavigationBarButton::Style::Back, bar);
    m_backButton->setObjectName(QStringLiteral("backButton"));
    connect(m_backButton, &QAbstractButton::clicked, this,
            [this] { popViewControllerAnimated(true); });
    m_titleLabel = new FitLabel(bar);
    m_titleLabel->setMinimumFontSize(11);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_titleLabel->setAlignment(Qt::AlignCenter);
    QFont font = m_titleLabel->font();
    font.setBold(true);
    m_titleLabel->setFont(font);
    m_leftSlot = new QWidget(bar);
    auto* leftLayout = new QHBoxLayout(m_leftSlot);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    m_rightSlot = new QWidget(bar);
    auto* rightLayout = new QHBoxLayout(m_rightSlot);
    rightLayout->setContentsMargins(0, 0, 0, 0);

    m_barLayout->addWidget(m_backButton);
    m_barLayout->addWidget(m_leftSlot);
    m_barLayout->addWidget(m_titleLabel, 1);
    m_barLayout->addWidget(m_rightSlot);

    m_pages = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_pages, 1);
    updateBar();
}

QString NavigationController::barTitle() const
{
    return m_titleLabel->text();
}

ViewController* NavigationController::topViewController() const
{
    return m_stack.empty() ? nullptr : m_stack.back();
}

void NavigationController::transition(ViewController* from, ViewController* to, bool animated,
                                      const std::function<void()>& changeStack)
{
    if (willShowViewController && to)
        willShowViewController(to, animated);
    if (from)
        from->viewWillDisappear(animated);
    if (to)
        to->viewWillAppear(animated);
    changeStack();
    if (to) {
        if (m_pages->indexOf(to) < 0)
            m_pages->addWidget(to);
        m_pages->setCurrentWidget(to);
    }
    updateBar();
    if (from)
        from->viewDidDisappear(animated);
    if (to)
        to->viewDidAppear(animated);
    if (didShowViewController && to)
        didShowViewController(to, animated);
}

void NavigationController::pushViewController(ViewController* controller, bool animated)
{
    if (!controller || std::find(m_stack.begin(), m_stack.end(), controller) != m_stack.end())
        return;
    transition(topViewController(), controller, animated, [&] {
        controller->m_navigationController = this;
        m_stack.push_back(controller);
    });
}

ViewController* NavigationController::popViewControllerAnimated(bool animated)
{
    if (m_stack.size() < 2)
        return nullptr;
    ViewController* leaving = m_stack.back();
    ViewController* below = m_stack[m_stack.size() - 2];
    transition(leaving, below, animated, [&] {
        m_stack.pop_back();
        leaving->m_navigationController = nullptr;
    });
    return leaving;
}

void NavigationController::popToViewController(ViewController* controller, bool animated)
{
    auto it = std::find(m_stack.begin(), m_stack.end(), controller);
    if (it == m_stack.end() || controller == topViewController())
        return;
    ViewController* leaving = m_stack.back();
    transition(leaving, controller, animated, [&] {
        for (auto p = it + 1; p != m_stack.end(); ++p)
            (*p)->m_navigationController = nullptr;
        m_stack.erase(it + 1, m_stack.end());
    });
}

void NavigationController::updateBar()
{
    ViewController* top = topViewController();
    const QString title = top ? top->title() : QString();
    const bool titleChanged = title != m_titleLabel->text();
    m_titleLabel->setText(title);
    // A screen's own left button takes the back button's place.
    QAbstractButton* left = top ? top->leftBarButton() : nullptr;
    const bool canGoBack = m_stack.size() > 1 && !left;
    m_backButton->setVisible(canGoBack);
    if (canGoBack) {
        // A screen without a title is left by a button that says where it goes: back.
        const QString previous = m_stack[m_stack.size() - 2]->title();
        m_backButton->setText(previous.isEmpty() ? tr("Back") : previous);
        m_backButton->updateGeometry();
    }

    for (QWidget* slot : {m_leftSlot, m_rightSlot}) {
        while (QLayoutItem* item = slot->layout()->takeAt(0)) {
            if (item->widget())
                item->widget()->hide();
            delete item;
        }
    }
    if (left) {
        m_leftSlot->layout()->addWidget(left);
        left->show();
    }
    auto* rightLayout = m_rightSlot->layout();
    if (top && top->rightBarButton()) {
        // A plain push button given by a screen is dressed like the bar's own buttons.
        if (auto* push = qobject_cast<QPushButton*>(top->rightBarButton());
            push && push->styleSheet().isEmpty())
            push->setStyleSheet(QStringLiteral(
                "QPushButton { color: white; font-weight: bold; font-size: 18px;"
                " border: 1px solid #0c0d0f; border-radius: 5px; padding: 0 12px;"
                " min-height: 28px; background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                " stop:0 #62676f, stop:1 #2c2e34); }"
                " QPushButton:pressed { background: #1c1d21; }"));
        rightLayout->addWidget(top->rightBarButton());
        top->rightBarButton()->show();
    }
    for (ViewController* vc : m_stack) {
        disconnect(vc, &ViewController::titleChanged, this, nullptr);
        disconnect(vc, &ViewController::rightBarButtonChanged, this, nullptr);
        disconnect(vc, &ViewController::leftBarButtonChanged, this, nullptr);
    }
    if (top) {
        connect(top, &ViewController::titleChanged, this, [this] { updateBar(); });
        connect(top, &ViewController::rightBarButtonChanged, this, [this] { updateBar(); });
        connect(top, &ViewController::leftBarButtonChanged, this, [this] { updateBar(); });
    }
    if (titleChanged)
        emit barTitleChanged(title);
}
