#pragma once

#include <QCursor>
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace dw {

// What a user sees of a long retrieval: once it has run for a while, or as soon as its
// first rows are there to show, the busy cursor over its window and an announcement (the
// window says "Leyendo…"), and the window keeps repainting. The user keeps the program:
// nothing holds input back for the whole program, so a dialog that opens meanwhile (an
// error, a card) answers its keys and clicks. Input is handled between two batches of
// rows; while the database driver works on the statement only painting happens, and the
// input waits (it is not lost) for the next batch, because nothing may use the connection
// until the driver returns.
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
    // Called now and then while reading; cheap until something is due. `takesInput` is true
    // where the user's input may be handled (between batches of rows).
    void tick(bool takesInput);
    // Rows read so far can be shown: the first time, they are painted at the next tick.
    void rowsArrived();
    void finish();
    [[nodiscard]] bool running() const { return m_running; }

    // How long a retrieval runs before the feedback appears (500 ms; tests use 0).
    static void setDelay(int milliseconds);

private:
    void show();

    QPointer<QWidget> m_reader;
    std::function<void(bool)> m_announce;
    QElapsedTimer m_elapsed;
    qint64 m_lastPaint = 0;
    qint64 m_lastInput = 0;
    bool m_running = false;
    bool m_shown = false;
    bool m_rowsPainted = false;
    // The cursor the reader's window had before the busy one, when it had its own.
    QPointer<QWidget> m_cursorWindow;
    bool m_hadCursor = false;
    QCursor m_previousCursor;
};

} // namespace dw
