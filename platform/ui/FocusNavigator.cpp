// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/FocusNavigator.h"

#include "platform/ui/AlertLayer.h"
#include "platform/ui/ButtonAccessible.h"
#include "platform/ui/FocusRing.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TableViewCellAccessible.h"
#include "platform/ui/ViewController.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

struct Placed
{
    QWidget* widget;
    QRect rect;
};

// Top to bottom in lines, left to right within a line. A control belongs to the line of the
// first control of a line when its middle lies within that control's height, or the other way
// round (a tall wheel and a small toggle beside it).
QList<QWidget*> readingOrder(QList<Placed> items)
{
    std::stable_sort(items.begin(), items.end(), [](const Placed& a, const Placed& b) {
        return a.rect.top() != b.rect.top() ? a.rect.top() < b.rect.top()
                                            : a.rect.left() < b.rect.left();
    });
    QList<QList<Placed>> lines;
    for (const Placed& item : items) {
        if (!lines.isEmpty()) {
            const QRect first = lines.last().first().rect;
            const int middle = item.rect.center().y();
            const int firstMiddle = first.center().y();
            if ((middle >= first.top() && middle <= first.bottom()) ||
                (firstMiddle >= item.rect.top() && firstMiddle <= item.rect.bottom())) {
                lines.last() << item;
                continue;
            }
        }
        lines.append({item});
    }
    QList<QWidget*> order;
    for (QList<Placed>& line : lines) {
        std::stable_sort(line.begin(), line.end(), [](const Placed& a, const Placed& b) {
            return a.rect.left() < b.rect.left();
        });
        for (const Placed& item : line)
            order << item.widget;
    }
    return order;
}

bool isTextInput(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget);
}

TableView* tableOf(const QWidget* widget)
{
    const QWidget* viewport = widget ? widget->parentWidget() : nullptr;
    return viewport ? qobject_cast<TableView*>(viewport->parentWidget()) : nullptr;
}

QAccessibleActionInterface* actionsOf(QWidget* widget)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->actionInterface() : nullptr;
}

} // namespace

FocusNavigator::FocusNavigator(QWidget* root)
    : QObject(root)
    , m_root(root)
    , m_ring(new FocusRing(root))
{
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &FocusNavigator::focusChanged);
}

FocusNavigator::~FocusNavigator()
{
    qApp->removeEventFilter(this);
}

bool FocusNavigator::belongs(const QObject* receiver) const
{
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    if (!widget)
        return false;
    if (widget == m_root || m_root->isAncestorOf(widget))
        return true;
    // The window that shows the application view through a graphics view.
    if (const QGraphicsProxyWidget* proxy = m_root->graphicsProxyWidget()) {
        if (const QGraphicsScene* scene = proxy->scene()) {
            for (const QGraphicsView* view : scene->views()) {
                if (widget == view || view->isAncestorOf(widget))
                    return true;
            }
        }
    }
    return false;
}

QWidget* FocusNavigator::scope() const
{
    QWidget* overlay = AlertLayer::currentOverlay();
    if (overlay && overlay->isVisible() && m_root->isAncestorOf(overlay))
        return overlay;
    return m_root;
}

QRect FocusNavigator::rectInRoot(const QWidget* widget) const
{
    return {widget->mapTo(m_root, QPoint(0, 0)), widget->size()};
}

bool FocusNavigator::occluded(QWidget* widget, const QRect& inRoot) const
{
    // Covered whole by a view stacked above it (a modal screen, the dimming of an alert); views
    // that let touches through do not cover.
    for (QWidget* a = widget; a && a != m_root; a = a->parentWidget()) {
        QWidget* parent = a->parentWidget();
        if (!parent)
            break;
        const QObjectList& siblings = parent->children();
        for (qsizetype i = siblings.indexOf(a) + 1; i < siblings.size(); ++i) {
            auto* above = qobject_cast<QWidget*>(siblings[i]);
            if (!above || above == m_ring || above->isWindow() || !above->isVisible() ||
                above->testAttribute(Qt::WA_TransparentForMouseEvents))
                continue;
            if (rectInRoot(above).contains(inRoot))
                return true;
        }
    }
    return false;
}

bool FocusNavigator::isCandidate(QWidget* widget, QWidget* within) const
{
    if (widget == m_ring || widget == within || !widget->isVisible() || !widget->isEnabled() ||
        !(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy())
        return false;
    if (widget->property(ButtonAccessible::kHiddenProperty).toBool())
        return false;
    // Scroll areas are containers (a list's rows are its stops), unless they are lists or text.
    if (qobject_cast<QAbstractScrollArea*>(widget) && !qobject_cast<QAbstractItemView*>(widget) &&
        !qobject_cast<QTextEdit*>(widget) && !qobject_cast<QPlainTextEdit*>(widget))
        return false;
    const QRect inRoot = rectInRoot(widget);
    if (inRoot.isEmpty())
        return false;
    return !occluded(widget, inRoot);
}

QList<QWidget*> FocusNavigator::focusChain() const
{
    QWidget* within = scope();
    QList<Placed> items;
    const QList<QWidget*> all = within->findChildren<QWidget*>();
    for (QWidget* widget : all) {
        if (isCandidate(widget, within))
            items.append({widget, rectInRoot(widget)});
    }
    return readingOrder(items);
}

QWidget* FocusNavigator::focusedControl() const
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != m_root && m_root->isAncestorOf(focus))
        return focus;
    return nullptr;
}

QWidget* FocusNavigator::screenOf(const QWidget* widget) const
{
    for (QWidget* up = widget ? widget->parentWidget() : nullptr; up && up != m_root;
         up = up->parentWidget()) {
        if (up == AlertLayer::currentOverlay() || qobject_cast<ViewController*>(up))
            return up;
    }
    return m_root;
}

void FocusNavigator::setKeyboardMode(bool on)
{
    if (on == m_keyboardMode)
        return;
    m_keyboardMode = on;
    m_ring->follow(on ? focusedControl() : nullptr);
}

bool FocusNavigator::mayMoveFocusItself() const
{
    return m_keyboardMode || QAccessible::isActive();
}

void FocusNavigator::focusControl(QWidget* control, bool forward)
{
    if (TableView* table = tableOf(control)) {
        const int row = table->indexPathForCell(qobject_cast<TableViewCell*>(control));
        if (row >= 0) {
            table->scrollToRowAtIndexPath(row);
            control = table->cellForRowAtIndexPath(row);
            if (!control)
                return;
        }
    }
    for (QWidget* up = control->parentWidget(); up && up != m_root; up = up->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(up))
            area->ensureWidgetVisible(control, 0, 0);
    }
    control->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    remember(control);
    if (m_keyboardMode)
        m_ring->follow(control);
}

bool FocusNavigator::stepRow(QWidget* control, bool forward)
{
    TableView* table = tableOf(control);
    if (!table)
        return false;
    int row = -1;
    const bool onDelete = control == table->deleteConfirmationButton();
    if (onDelete) {
        row = table->deleteConfirmationRow();
        if (!forward) {
            // Back from a row's Delete button: to the row.
            if (TableViewCell* cell = table->cellForRowAtIndexPath(row)) {
                focusControl(cell, false);
                return true;
            }
            return false;
        }
    } else {
        row = table->indexPathForCell(qobject_cast<TableViewCell*>(control));
        if (row < 0)
            return false;
        if (forward && row == table->deleteConfirmationRow() &&
            table->deleteConfirmationButton()->isVisible()) {
            focusControl(table->deleteConfirmationButton(), true);
            return true;
        }
    }
    const int next = row + (forward ? 1 : -1);
    if (next < 0 || next >= table->numberOfRows())
        return false;
    table->scrollToRowAtIndexPath(next);
    TableViewCell* cell = table->cellForRowAtIndexPath(next);
    if (!cell)
        return false;
    if (!forward && next == table->deleteConfirmationRow() &&
        table->deleteConfirmationButton()->isVisible()) {
        focusControl(table->deleteConfirmationButton(), false);
        return true;
    }
    focusControl(cell, forward);
    return true;
}

bool FocusNavigator::moveFocus(bool forward)
{
    setKeyboardMode(true);
    QWidget* current = focusedControl();
    // The rows of a list one by one, scrolled into view, before the focus leaves the list.
    if (current && isCandidate(current, scope()) && stepRow(current, forward))
        return true;
    const QList<QWidget*> chain = focusChain();
    if (chain.isEmpty())
        return false;
    const qsizetype at = chain.indexOf(current);
    QWidget* target = nullptr;
    if (at < 0)
        target = forward ? chain.first() : chain.last();
    else
        target = chain[(at + (forward ? 1 : chain.size() - 1)) % chain.size()];
    focusControl(target, forward);
    return true;
}

// The action Space and Return do: Press, else Toggle, else the one action of a control that
// has no value to move (the row that adds one). Empty when there is none.
static QString activation(QWidget* control)
{
    if (!control || isTextInput(control))
        return {};
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    QAccessibleActionInterface* actions = iface ? iface->actionInterface() : nullptr;
    if (!actions)
        return {};
    const QStringList names = actions->actionNames();
    if (names.contains(QAccessibleActionInterface::pressAction()))
        return QAccessibleActionInterface::pressAction();
    if (names.contains(QAccessibleActionInterface::toggleAction()))
        return QAccessibleActionInterface::toggleAction();
    if (names.size() == 1 && !iface->valueInterface())
        return names.first();
    return {};
}

bool FocusNavigator::takesActivation(QWidget* control) const
{
    return !activation(control).isEmpty();
}

void FocusNavigator::activate(QWidget* control)
{
    const QString action = activation(control);
    if (action.isEmpty())
        return;
    remember(control);
    actionsOf(control)->doAction(action);
}

bool FocusNavigator::offerDelete(QWidget* control)
{
    TableView* table = tableOf(control);
    QAccessibleActionInterface* actions = table ? actionsOf(control) : nullptr;
    if (!actions || !actions->actionNames().contains(TableViewCellAccessible::deleteAction()))
        return false;
    actions->doAction(TableViewCellAccessible::deleteAction());
    if (table->deleteConfirmationButton()->isVisible())
        focusControl(table->deleteConfirmationButton(), true);
    return true;
}

bool FocusNavigator::adjust(QWidget* control, int steps)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    QAccessibleValueInterface* value = iface ? iface->valueInterface() : nullptr;
    if (!value || isTextInput(control))
        return false;
    const double step = value->minimumStepSize().toDouble();
    const double current = value->currentValue().toDouble();
    const double low = value->minimumValue().toDouble();
    const double high = value->maximumValue().toDouble();
    if (!(step > 0.0))
        return false;
    value->setCurrentValue(std::clamp(current + steps * step, low, std::max(low, high)));
    return true;
}

bool FocusNavigator::handleKeyPress(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (modifiers != Qt::NoModifier)
        return false;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    QWidget* control = focusedControl();
    switch (event->key()) {
    case Qt::Key_Tab:
        moveFocus(!shift);
        return true;
    case Qt::Key_Backtab:
        moveFocus(false);
        return true;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (shift || !m_keyboardMode || !takesActivation(control))
            return false;
        activate(control);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        if (shift || !control || !m_keyboardMode)
            return false;
        const bool up = event->key() == Qt::Key_Up;
        if (adjust(control, up ? 1 : -1))
            return true;
        if (tableOf(control)) {
            stepRow(control, !up);
            return true;
        }
        // Buttons would move the focus in the order they were made; it goes in reading order.
        if (qobject_cast<QAbstractButton*>(control)) {
            moveFocus(!up);
            return true;
        }
        return false;
    }
    case Qt::Key_Delete:
        // A row's Delete button, offered as a swipe offers it.
        return !shift && m_keyboardMode && offerDelete(control);
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (shift || !control || !m_keyboardMode)
            return false;
        return adjust(control, event->key() == Qt::Key_PageUp ? 10 : -10);
    default:
        return false;
    }
}

bool FocusNavigator::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Space and Return work the focused control instead of a shortcut while the ring shows.
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || !m_keyboardMode ||
            !belongs(watched))
            break;
        const bool activates = key->key() == Qt::Key_Space || key->key() == Qt::Key_Return ||
                               key->key() == Qt::Key_Enter;
        QWidget* control = focusedControl();
        const bool deletes =
            key->key() == Qt::Key_Delete && tableOf(control) && actionsOf(control) &&
            actionsOf(control)->actionNames().contains(TableViewCellAccessible::deleteAction());
        if ((activates && takesActivation(control)) || deletes) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::KeyPress:
        if (belongs(watched) && handleKeyPress(static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::FocusIn:
        if (belongs(watched)) {
            m_focusInWidget = static_cast<QWidget*>(watched);
            m_focusInReason = static_cast<QFocusEvent*>(event)->reason();
        }
        break;
    case QEvent::Hide:
        // The focused control hides (a screen change); its focus may stay on it for a moment.
        if (watched == m_last && static_cast<QWidget*>(watched)->hasFocus())
            queueRecover();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::TouchBegin:
        if (m_keyboardMode && belongs(watched))
            setKeyboardMode(false);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void FocusNavigator::remember(QWidget* control)
{
    if (!control || control == m_root || !m_root->isAncestorOf(control))
        return;
    m_last = control;
    m_lastRect = rectInRoot(control);
    m_lastScreen = screenOf(control);
}

void FocusNavigator::queueRecover()
{
    if (m_recoverQueued || !mayMoveFocusItself())
        return;
    // Where the control that went was: the focus goes to what is there by the time the screen
    // has settled.
    m_lostRect = m_lastRect;
    m_lostScreen = m_lastScreen;
    m_recoverQueued = true;
    QTimer::singleShot(0, this, [this] { recover(); });
}

void FocusNavigator::focusChanged(QWidget* old, QWidget* now)
{
    const bool nowInside = now && now != m_root && m_root->isAncestorOf(now);
    m_ring->follow(m_keyboardMode && nowInside ? now : nullptr);
    // The control that had the focus went away (hidden, or the screen changed under it).
    if (old && old == m_last && !old->isVisible())
        queueRecover();
    QWidget* overlay = AlertLayer::currentOverlay();
    if (nowInside) {
        const bool intoPresentation = overlay && (now == overlay || overlay->isAncestorOf(now)) &&
                                      !(m_last && overlay->isAncestorOf(m_last));
        if (intoPresentation)
            m_beforePresentation = m_last;
        if (now == overlay) {
            // An alert or a sheet came up and holds the keyboard: the focus goes to its first
            // control (unless it put it in a field of its own), and comes back after it.
            if (mayMoveFocusItself())
                QTimer::singleShot(0, this, [this] { enterPresentation(); });
        } else {
            remember(now);
        }
    }
}

void FocusNavigator::enterPresentation()
{
    QWidget* overlay = AlertLayer::currentOverlay();
    if (!overlay || QApplication::focusWidget() != overlay)
        return;
    const QList<QWidget*> chain = focusChain();
    if (!chain.isEmpty())
        focusControl(chain.first(), true);
}

void FocusNavigator::recover()
{
    m_recoverQueued = false;
    QWidget* overlay = AlertLayer::currentOverlay();
    QWidget* focus = focusedControl();
    // A control that a screen or an alert gave the focus to on purpose (a field, say) keeps it;
    // one that Qt moved it to on its own (the next in the order the views were made, as with
    // Tab) does not.
    const bool onPurpose = focus && focus == m_focusInWidget &&
                           m_focusInReason != Qt::TabFocusReason &&
                           m_focusInReason != Qt::BacktabFocusReason;
    if (onPurpose && isCandidate(focus, scope()))
        return;
    const QList<QWidget*> chain = focusChain();
    if (chain.isEmpty())
        return;
    QWidget* target = nullptr;
    const bool sameScreen =
        m_lostScreen && std::any_of(chain.begin(), chain.end(), [this](QWidget* w) {
            return screenOf(w) == m_lostScreen.data();
        });
    if (sameScreen) {
        // The control now in the place of the one that went, or the nearest.
        const QPoint centre = m_lostRect.center();
        double best = 0.0;
        for (QWidget* w : chain) {
            if (screenOf(w) != m_lostScreen.data())
                continue;
            const QRect r = rectInRoot(w);
            const double distance = r.contains(centre) ? -1.0
                                                       : std::hypot(r.center().x() - centre.x(),
                                                                    r.center().y() - centre.y());
            if (!target || distance < best) {
                target = w;
                best = distance;
            }
        }
    } else if (!overlay && m_beforePresentation && chain.contains(m_beforePresentation.data())) {
        target = m_beforePresentation;
    } else {
        target = chain.first();
    }
    if (!overlay)
        m_beforePresentation = nullptr;
    if (target)
        focusControl(target, true);
}
