#include "readingfeedback.h"

#include <QCoreApplication>

namespace dw {

namespace {

int delayMs = 500;
// Repaints and input at this pace look live without slowing the reading down.
constexpr qint64 EventsEveryMs = 100;

} // namespace

ReadingFeedback::ReadingFeedback(QWidget *reader, std::function<void(bool)> announce)
    : m_reader(reader)
    , m_announce(std::move(announce))
{}

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
    m_rowsPainted = false;
    m_lastPaint = 0;
    m_lastInput = 0;
    m_elapsed.start();
}

void ReadingFeedback::show()
{
    if (m_shown)
        return;
    m_shown = true;
    // The window's own cursor, not the application's: a dialog opened meanwhile shows the
    // ordinary one. The busy cursor (an arrow with the hourglass) says the window still
    // takes clicks.
    m_cursorWindow = m_reader ? m_reader->window() : nullptr;
    if (m_cursorWindow) {
        m_hadCursor = m_cursorWindow->testAttribute(Qt::WA_SetCursor);
        m_previousCursor = m_cursorWindow->cursor();
        m_cursorWindow->setCursor(Qt::BusyCursor);
    }
    m_announce(true);
}

void ReadingFeedback::tick(bool takesInput)
{
    if (!m_running)
        return;
    const qint64 now = m_elapsed.elapsed();
    if (!m_shown && now >= delayMs)
        show();
    const bool due = takesInput ? now - m_lastInput >= EventsEveryMs : now - m_lastPaint >= EventsEveryMs;
    if (!due)
        return;
    m_lastPaint = now;
    if (takesInput)
        m_lastInput = now;
    QCoreApplication::processEvents(takesInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

void ReadingFeedback::rowsArrived()
{
    if (!m_running || m_rowsPainted)
        return;
    m_rowsPainted = true;
    show();
    // The next tick paints them, whenever the last one was.
    m_lastPaint = m_lastInput = -EventsEveryMs;
}

void ReadingFeedback::finish()
{
    m_running = false;
    if (!m_shown)
        return;
    m_shown = false;
    if (m_cursorWindow) {
        if (m_hadCursor)
            m_cursorWindow->setCursor(m_previousCursor);
        else
            m_cursorWindow->unsetCursor();
    }
    m_cursorWindow = nullptr;
    m_announce(false);
}

} // namespace dw
