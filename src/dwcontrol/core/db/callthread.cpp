#include "db/callthread.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace dw {

// What the two threads share; the helper thread keeps it alive after an abandoned call.
struct CallThread::Shared
{
    std::mutex mutex;
    std::condition_variable wake; // a call to run, or the end
    std::condition_variable returned; // the call is back
    std::function<int()> call;
    bool pending = false;
    bool done = true;
    bool quit = false;
    int code = 0;
    std::vector<std::function<void()>> afterward;

    void loop()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return pending || quit; });
            if (!pending)
                break;
            std::function<int()> next = std::move(call);
            pending = false;
            lock.unlock();
            const int result = next();
            next = {}; // what the call held goes before anyone is told it returned
            lock.lock();
            code = result;
            done = true;
            returned.notify_all();
            runAfterward(lock);
        }
        runAfterward(lock);
    }

    void runAfterward(std::unique_lock<std::mutex> &lock)
    {
        std::vector<std::function<void()>> work = std::move(afterward);
        afterward.clear();
        lock.unlock();
        for (auto &item : work)
            item();
        lock.lock();
    }
};

CallThread::CallThread() : m_shared(std::make_shared<Shared>())
{
    m_thread = std::thread([shared = m_shared] { shared->loop(); });
}

CallThread::~CallThread()
{
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->quit = true;
    }
    m_shared->wake.notify_one();
    if (m_abandoned)
        m_thread.detach(); // it ends once the call it is stuck in returns
    else
        m_thread.join();
}

CallThread::Result CallThread::run(std::function<int()> call, const CallWatch &watch)
{
    if (m_abandoned)
        return {Outcome::Abandoned, 0};
    if (m_running)
        return {Outcome::Busy, 0};
    m_running = true;
    struct Running
    {
        bool &flag;
        ~Running() { flag = false; }
    } running{m_running};

    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->call = std::move(call);
        m_shared->pending = true;
        m_shared->done = false;
    }
    m_shared->wake.notify_one();

    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + watch.limit;
    Clock::time_point givenUp{};
    Outcome outcome = Outcome::Done;
    for (;;) {
        const Clock::time_point now = Clock::now();
        const Clock::time_point until
            = std::min(now + watch.beat, outcome == Outcome::Done ? deadline : givenUp);
        {
            std::unique_lock lock(m_shared->mutex);
            if (m_shared->returned.wait_until(lock, until, [&] { return m_shared->done; }))
                return {outcome, m_shared->code};
        }
        // The heartbeat goes on while a cancelled call winds down; only its first "stop" counts.
        const bool goOn = !watch.heartbeat || watch.heartbeat();
        if (outcome == Outcome::Done && (!goOn || Clock::now() >= deadline)) {
            outcome = goOn ? Outcome::TimedOut : Outcome::Stopped;
            if (watch.cancel)
                watch.cancel();
            givenUp = Clock::now() + watch.grace;
        } else if (outcome != Outcome::Done && Clock::now() >= givenUp) {
            m_abandoned = true;
            return {Outcome::Abandoned, 0};
        }
    }
}

void CallThread::whenIdle(std::function<void()> work)
{
    {
        std::unique_lock lock(m_shared->mutex);
        if (!m_shared->done) {
            m_shared->afterward.push_back(std::move(work));
            return;
        }
    }
    work();
}

} // namespace dw
