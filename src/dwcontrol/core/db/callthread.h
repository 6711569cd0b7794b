#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace dw {

// How a call that waits for a database server is watched from the thread that asked for it.
struct CallWatch
{
    // Called every `beat` while the call runs; false asks to stop it. Empty: never asked.
    std::function<bool()> heartbeat;
    std::chrono::milliseconds beat{50};
    // Past this the call is cancelled: the server did not answer within the time allowed.
    std::chrono::milliseconds limit{std::chrono::hours(24)};
    // How long a cancelled call may take to return before it is given up.
    std::chrono::milliseconds grace{1000};
    // Asks the call to return early (from this thread, while the call runs on the other).
    std::function<void()> cancel;
};

// A thread of its own for the blocking calls of one connection, so the thread that asks
// keeps its heartbeat going while a server works, and can give up on a server that no
// longer answers instead of waiting with it. One call at a time; calls run in order.
//
// A call that does not return even after its cancel is abandoned: the thread stays with
// it, and everything that call still uses must stay valid until it returns. Work handed
// to whenIdle() then waits for that moment, on the helper thread.
class CallThread
{
public:
    enum class Outcome {
        Done, // the call returned by itself; `code` is its result
        Stopped, // the heartbeat asked to stop; the cancelled call returned
        TimedOut, // past the limit; the cancelled call returned
        Abandoned, // it did not return after its cancel, or an earlier call never returned
        Busy, // asked from inside the heartbeat of a call still running
    };
    struct Result
    {
        Outcome outcome = Outcome::Done;
        int code = 0;
    };

    CallThread();
    // Returns at once also when a call was abandoned: the helper thread then ends on its own.
    ~CallThread();
    CallThread(const CallThread &) = delete;
    CallThread &operator=(const CallThread &) = delete;

    [[nodiscard]] Result run(std::function<int()> call, const CallWatch &watch);
    // True once a call was abandoned: no call runs here any more.
    [[nodiscard]] bool abandoned() const { return m_abandoned; }
    // Runs `work` now when no call is outstanding, otherwise once the abandoned call returns.
    void whenIdle(std::function<void()> work);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    bool m_running = false;
    bool m_abandoned = false;
};

} // namespace dw
