// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AccessibleWidget.h"

#include "platform/ui/TableViewCell.h"

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>

#include <limits>

AccessibleWidget::AccessibleWidget(QWidget* widget, QAccessible::Role role, const QString& name)
    : QAccessibleWidget(widget, role, name)
{
}

QRect AccessibleWidget::rect() const
{
    if (!widget()->isVisible())
        return {};
    return screenRect(widget(), widget()->rect());
}

QRect AccessibleWidget::screenRect(const QWidget* widget, const QRect& local)
{
    const QWidget* top = widget->window();
    if (const QGraphicsProxyWidget* proxy = top->graphicsProxyWidget()) {
        const QGraphicsScene* scene = proxy->scene();
        if (scene && !scene->views().isEmpty()) {
            const QGraphicsView* view = scene->views().first();
            const QRectF inTop(widget->mapTo(top, local.topLeft()), local.size());
            const QRect inView = view->mapFromScene(proxy->mapToScene(inTop)).boundingRect();
            return {view->viewport()->mapToGlobal(inView.topLeft()), inView.size()};
        }
    }
    return {widget->mapToGlobal(local.topLeft()), local.size()};
}

QString AccessibleWidget::labelFor(const QWidget* widget)
{
    const QWidget* parent = widget->parentWidget();
    if (!parent)
        return {};
    // A label that names the control as its buddy.
    const QList<QLabel*> labels = widget->window()->findChildren<QLabel*>();
    for (const QLabel* label : labels) {
        if (label->buddy() == widget && !label->text().isEmpty())
            return label->text();
    }
    // The row of a list: its title.
    for (const QWidget* up = parent; up; up = up->parentWidget()) {
        if (const auto* cell = qobject_cast<const TableViewCell*>(up)) {
            if (!cell->text().isEmpty())
                return cell->text();
            break;
        }
    }
    // The nearest caption on the same line at the left, else the nearest one above.
    const QRect own = widget->geometry();
    const QLabel* best = nullptr;
    int bestDistance = std::numeric_limits<int>::max();
    bool bestOnLine = false;
    for (const QObject* child : parent->children()) {
        const auto* label = qobject_cast<const QLabel*>(child);
        if (!label || label->isHidden() || label->text().trimmed().isEmpty())
            continue;
        const QRect r = label->geometry();
        const bool onLine = r.center().y() >= own.top() && r.center().y() <= own.bottom() &&
                            r.right() <= own.left() + own.width() / 2;
        const bool above =
            r.bottom() <= own.top() + 2 && r.left() < own.right() && r.right() > own.left();
        if (!onLine && !above)
            continue;
        const int distance = onLine ? own.left() - r.right() : own.top() - r.bottom();
        if ((onLine && !bestOnLine) || (onLine == bestOnLine && distance < bestDistance)) {
            best = label;
            bestDistance = distance;
            bestOnLine = onLine;
        }
    }
    return best ? best->text() : QString();
}

QString AccessibleWidget::numerus(const QString& translated, int n)
{
    QString text = translated;
    return text.replace(QLatin1String("(s)"), n == 1 ? QString() : QStringLiteral("s"));
}

QAccessible::State AccessibleWidget::controlState() const
{
    QAccessible::State state = QAccessibleWidget::state();
    const QWidget* w = widget();
    if (w->focusPolicy() & Qt::TabFocus)
        state.focusable = true;
    if (w->hasFocus())
        state.focused = true;
    return state;
}
