// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/AfterFirstPaint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

// Lives with the window: the work is dropped with it.
class FirstPaintWatcher : public QObject
{
public:
    FirstPaintWatcher(QWidget* window, std::function<void()> work, int fallbackMs,
                      AfterFirstPaint::Turn turn)
        : QObject(window)
        , m_window(window)
        , m_work(std::move(work))
        , m_turn(turn)
    {
        // Paint events go to the widget that paints (a graphics view's viewport, say), so the
        // application's events are watched for any widget of the window.
        QCoreApplication::instance()->installEventFilter(this);
        if (fallbackMs >= 0)
            QTimer::singleShot(fallbackMs, this, [this] { finish(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_painted && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == m_window) {
            m_painted = true;
            QCoreApplication::instance()->removeEventFilter(this);
            // After the paint and the flush to the screen that follows it. A high-priority
            // posted event is delivered before the normal-priority ones (zero timers) that other
            // watchers post for this same paint.
            if (m_turn == AfterFirstPaint::Turn::Ahead)
                QCoreApplication::postEvent(this, new QEvent(kFinishEvent), Qt::HighEventPriority);
            else
                QTimer::singleShot(0, this, [this] { finish(); });
        }
        return false;
    }

    bool event(QEvent* event) override
    {
        if (event->type() != kFinishEvent)
            return QObject::event(event);
        finish();
        return true;
    }

private:
    void finish()
    {
        if (!m_work)
            return;
        QCoreApplication::instance()->removeEventFilter(this);
        const std::function<void()> work = std::move(m_work);
        m_work = nullptr;
        deleteLater();
        work();
    }

    static constexpr QEvent::Type kFinishEvent = QEvent::User;

    QWidget* m_window;
    std::function<void()> m_work;
    AfterFirstPaint::Turn m_turn;
    bool m_painted = false;
};

} // namespace

void AfterFirstPaint::run(QWidget* window, std::function<void()> work, int fallbackMs, Turn turn)
{
    if (!window || !work)
        return;
    new FirstPaintWatcher(window, std::move(work), fallbackMs, turn);
}
