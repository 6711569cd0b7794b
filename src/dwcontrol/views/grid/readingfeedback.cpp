#include "readingfeedback.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace dw {

namespace {

int delayMs = 500;
// Repaints at this pace look live without slowing the reading down.
constexpr qint64 PaintEveryMs = 100;

} // namespace

ReadingFeedback::ReadingFeedback(std::function<void(bool)> announce) : m_announce(std::move(announce)) {}

ReadingFeedback::~ReadingFeedback()
{
    finish();
}

void ReadingFeedback::setDelay(int milliseconds)
{
    delayMs = milliseconds;
}

void ReadingFeedback::start()
{
    finish();
    m_running = true;
    m_elapsed.start();
}

void ReadingFeedback::tick()
{
    if (!m_running)
        return;
    const qint64 now = m_elapsed.elapsed();
    if (!m_shown) {
        if (now < delayMs)
            return;
        m_shown = true;
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_announce(true);
    } else if (now - m_lastPaint < PaintEveryMs) {
        return;
    }
    m_lastPaint = now;
    // Paint and window-system events only: a click or a key must not start something
    // else in the middle of the reading.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ReadingFeedback::finish()
{
    m_running = false;
    if (!m_shown)
        return;
    m_shown = false;
    QGuiApplication::restoreOverrideCursor();
    m_announce(false);
}

} // namespace dw
