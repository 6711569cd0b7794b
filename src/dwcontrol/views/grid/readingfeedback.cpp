#include "readingfeedback.h"

#include <QAbstractSlider>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

namespace dw {

namespace {

int delayMs = 500;
// Repaints at this pace look live without slowing the reading down.
constexpr qint64 PaintEveryMs = 100;

// Lets through the user's scrolling of the reading widget (the wheel over it, the mouse on
// its scroll bars) and holds back every other click, key and menu while a retrieval reads.
class OnlyScrolling final : public QObject
{
public:
    explicit OnlyScrolling(QWidget *reader) : m_reader(reader) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(watched);
        const bool inReader = widget && m_reader && (widget == m_reader || m_reader->isAncestorOf(widget));
        switch (event->type()) {
        case QEvent::Wheel:
            return !inReader;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return !inReader || qobject_cast<QAbstractSlider *>(watched) == nullptr;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        case QEvent::Close:
            // The window system's close button waits too: closing the window ends the
            // program, which must not happen under a retrieval.
            if (!event->spontaneous())
                return false;
            event->ignore();
            return true;
        default:
            return false;
        }
    }

private:
    QWidget *m_reader;
};

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
    m_onlyScrolling = std::make_unique<OnlyScrolling>(m_reader);
    QCoreApplication::instance()->installEventFilter(m_onlyScrolling.get());
    m_elapsed.start();
}

void ReadingFeedback::show()
{
    if (m_shown)
        return;
    m_shown = true;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    m_announce(true);
}

void ReadingFeedback::paint()
{
    m_lastPaint = m_elapsed.elapsed();
    QCoreApplication::processEvents();
}

void ReadingFeedback::tick()
{
    if (!m_running)
        return;
    const qint64 now = m_elapsed.elapsed();
    if (!m_shown) {
        if (now < delayMs)
            return;
        show();
    } else if (now - m_lastPaint < PaintEveryMs) {
        return;
    }
    paint();
}

void ReadingFeedback::rowsArrived()
{
    if (!m_running || m_rowsPainted)
        return;
    m_rowsPainted = true;
    show();
    paint();
}

void ReadingFeedback::finish()
{
    m_running = false;
    m_onlyScrolling.reset(); // an object's destruction removes it as a filter
    if (!m_shown)
        return;
    m_shown = false;
    QGuiApplication::restoreOverrideCursor();
    m_announce(false);
}

} // namespace dw
