#include "platform/ui/ViewController.h"

#include <QAbstractButton>

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
