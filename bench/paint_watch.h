#pragma once

// Shared by Tessaro's probe and the floor program, so that both are timed by one rule: a
// window counts as shown when a paint of it has gone through and the program's own
// condition holds at that moment. Both print their moments on stdout for the driver, as
// CLOCK_MONOTONIC nanoseconds, which the driver reads on the same clock.

#include "measure.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <utility>

#include <csignal>
#include <sys/prctl.h>

namespace tessaro::bench {

// A probe left behind by a driver that crashed would spoil the next run's figures.
inline void dieWithParent()
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

// One line for the driver, sent at once: the driver may be waiting on it with a deadline.
template <typename... Args>
void report(const char* format, Args... args)
{
    std::printf(format, args...);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Calls `onReady` once, on the first turn of the event loop after a paint of `target` (or of
// a widget inside it) when `ready()` is true. A whole window's paint and its flush to the
// backing store happen within one event, so the zero-delay timer fires after both.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget* target, std::function<bool()> ready, std::function<void(long long)> onReady)
        : m_target(target)
        , m_ready(std::move(ready))
        , m_onReady(std::move(onReady))
    {
        qApp->installEventFilter(this);
    }

    bool done() const { return m_done; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_pending && !m_done && object->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(object);
            if (widget == m_target || m_target->isAncestorOf(widget)) {
                m_pending = true;
                QTimer::singleShot(0, this, [this] { afterPaint(); });
            }
        }
        return false;
    }

private:
    void afterPaint()
    {
        m_pending = false;
        if (m_done || !m_ready())
            return;
        m_done = true;
        qApp->removeEventFilter(this);
        m_onReady(monotonicNs());
    }

    QWidget* m_target;
    std::function<bool()> m_ready;
    std::function<void(long long)> m_onReady;
    bool m_pending = false;
    bool m_done = false;
};

} // namespace tessaro::bench
