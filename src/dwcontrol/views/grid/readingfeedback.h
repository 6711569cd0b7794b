#pragma once

#include <QElapsedTimer>

#include <functional>
#include <memory>

class QObject;
class QWidget;

namespace dw {

// What a user sees of a long retrieval: once it has run for a while, or as soon as its
// first rows are there to show, the busy cursor and an announcement (the window says
// "Leyendo…"), and the window keeps repainting. Meanwhile the user can scroll the widget
// that reads (the wheel over it, its scroll bars) and do nothing else: a click or a key
// could sort, filter, copy, save, print or search again while the listing is only half
// read, so they are not delivered.
class ReadingFeedback
{
public:
    // `announce(true)` when the feedback appears, `announce(false)` when it goes; `reader`
    // is the widget that shows the rows (not owned).
    ReadingFeedback(QWidget *reader, std::function<void(bool)> announce);
    ~ReadingFeedback();
    ReadingFeedback(const ReadingFeedback &) = delete;
    ReadingFeedback &operator=(const ReadingFeedback &) = delete;

    void start();
    // Called now and then while reading; cheap until something is due.
    void tick();
    // Rows read so far can be shown: the first time, they are painted at once.
    void rowsArrived();
    void finish();
    [[nodiscard]] bool running() const { return m_running; }

    // How long a retrieval runs before the feedback appears (500 ms; tests use 0).
    static void setDelay(int milliseconds);

private:
    void show();
    void paint();

    QWidget *m_reader;
    std::function<void(bool)> m_announce;
    std::unique_ptr<QObject> m_onlyScrolling;
    QElapsedTimer m_elapsed;
    qint64 m_lastPaint = 0;
    bool m_running = false;
    bool m_shown = false;
    bool m_rowsPainted = false;
};

} // namespace dw
