#include "platform/ui/FirstFrameReport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace {
class PaintWatcher : public QObject
{
public:
    explicit PaintWatcher(QWidget* window)
        : QObject(window)
        , m_window(window)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == m_window) {
            m_seen = true;
            // Reported once the paint and the flush to the screen that follows it are done.
            QTimer::singleShot(0, this, [this] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                std::fprintf(stderr, "first-frame %lld\n",
                             static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
                std::fflush(stderr);
                QCoreApplication::instance()->removeEventFilter(this);
            });
        }
        return false;
    }

private:
    QWidget* m_window;
    bool m_seen = false;
};
} // namespace

void FirstFrameReport::install(QWidget* window)
{
    if (qEnvironmentVariableIsEmpty("SONAVELL_REPORT_FIRST_FRAME") || !window)
        return;
    QCoreApplication::instance()->installEventFilter(new PaintWatcher(window));
}
