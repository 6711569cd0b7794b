#pragma once

#include <QElapsedTimer>

#include <functional>

namespace dw {

// What a user sees of a long retrieval: once it has run for a while, the busy cursor
// and an announcement (the window says "Leyendo…"), and the window keeps repainting.
// Input waits until the retrieval ends, so nothing can start another one meanwhile.
class ReadingFeedback
{
public:
    // `announce(true)` when the feedback appears, `announce(false)` when it goes.
    explicit ReadingFeedback(std::function<void(bool)> announce);
    ~ReadingFeedback();
    ReadingFeedback(const ReadingFeedback &) = delete;
    ReadingFeedback &operator=(const ReadingFeedback &) = delete;

    void start();
    // Called now and then while reading; cheap until something is due.
    void tick();
    void finish();

    // How long a retrieval runs before the feedback appears (500 ms; tests use 0).
    static void setDelay(int milliseconds);

private:
    std::function<void(bool)> m_announce;
    QElapsedTimer m_elapsed;
    qint64 m_lastPaint = 0;
    bool m_running = false;
    bool m_shown = false;
};

} // namespace dw
