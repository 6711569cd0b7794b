// A call that waits for a server runs on its own thread: the caller's heartbeat goes on, a
// call past its limit is cancelled, and one that ignores the cancel is given up.
#include "db/callthread.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using dw::CallThread;
using Outcome = CallThread::Outcome;

Q_DECLARE_METATYPE(CallThread::Outcome)

namespace {

// A server's answer: comes after `answerMs`, or at once when cancelled if it listens.
struct FakeServer
{
    int answerMs = 0;
    bool listens = true;
    std::atomic<bool> cancelled{false};

    int call() const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(answerMs);
        while (std::chrono::steady_clock::now() < end) {
            if (listens && cancelled)
                return -1;
            std::this_thread::sleep_for(2ms);
        }
        return 7;
    }
};

} // namespace

class TestCallThread : public QObject
{
    Q_OBJECT

private slots:
    void watchedCalls_data()
    {
        QTest::addColumn<int>("answerMs");
        QTest::addColumn<bool>("listens");
        QTest::addColumn<int>("limitMs");
        QTest::addColumn<int>("stopAtBeat"); // 0: the heartbeat never asks to stop
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("leastMs");
        QTest::addColumn<int>("mostMs");

        QTest::newRow("answers in time") << 300 << true << 2000 << 0 << Outcome::Done << 7 << 300 << 1500;
        QTest::newRow("past the limit, cancelled")
            << 5000 << true << 300 << 0 << Outcome::TimedOut << -1 << 300 << 1200;
        QTest::newRow("deaf to the cancel, given up")
            << 2000 << false << 300 << 0 << Outcome::Abandoned << 0 << 800 << 2000;
        QTest::newRow("stopped by the heartbeat")
            << 5000 << true << 60000 << 4 << Outcome::Stopped << -1 << 100 << 1500;
    }

    void watchedCalls()
    {
        QFETCH(int, answerMs);
        QFETCH(bool, listens);
        QFETCH(int, limitMs);
        QFETCH(int, stopAtBeat);
        QFETCH(Outcome, outcome);
        QFETCH(int, code);
        QFETCH(int, leastMs);
        QFETCH(int, mostMs);

        auto server = std::make_shared<FakeServer>();
        server->answerMs = answerMs;
        server->listens = listens;
        int beats = 0;
        dw::CallWatch watch;
        watch.beat = 50ms;
        watch.limit = std::chrono::milliseconds(limitMs);
        watch.grace = 500ms;
        watch.heartbeat = [&] { return ++beats != stopAtBeat; };
        watch.cancel = [server] { server->cancelled = true; };

        auto calls = std::make_unique<CallThread>();
        QElapsedTimer clock;
        clock.start();
        const CallThread::Result result = calls->run([server] { return server->call(); }, watch);
        const qint64 took = clock.elapsed();
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.code, code);
        QVERIFY2(took >= leastMs && took <= mostMs, qPrintable(QString::number(took)));
        // The heartbeat went on while the caller waited (how often is the benchmark's to say:
        // a loaded machine runs the beats late).
        QVERIFY2(beats >= 2, qPrintable(QStringLiteral("%1 beats in %2 ms").arg(beats).arg(took)));

        // Work left for the end of a call runs at once, or after an abandoned call on its thread.
        std::atomic<bool> freed{false};
        calls->whenIdle([&freed] { freed = true; });
        QCOMPARE(freed.load(), result.outcome != Outcome::Abandoned);
        if (result.outcome == Outcome::Abandoned) {
            // No later call waits behind the stuck one.
            clock.restart();
            // The stuck call still has more than a second to go: well under that, nothing waited.
            QCOMPARE(calls->run([] { return 1; }, watch).outcome, Outcome::Abandoned);
            QVERIFY(clock.elapsed() < 1000);
            clock.restart();
            calls.reset(); // does not wait for the call it is stuck in
            QVERIFY(clock.elapsed() < 1000);
            QTRY_VERIFY_WITH_TIMEOUT(freed.load(), 10000);
        } else {
            QCOMPARE(calls->run([] { return 1; }, watch).code, 1);
        }
    }

    // A heartbeat that asks for another call on the same connection is told it is busy.
    void oneCallAtATime()
    {
        CallThread calls;
        dw::CallWatch watch;
        watch.beat = 20ms;
        Outcome inner = Outcome::Done;
        watch.heartbeat = [&] {
            inner = calls.run([] { return 1; }, {}).outcome;
            return true;
        };
        const auto result = calls.run(
            [] {
                std::this_thread::sleep_for(100ms);
                return 2;
            },
            watch);
        QCOMPARE(result.code, 2);
        QCOMPARE(inner, Outcome::Busy);
    }
};

QTEST_GUILESS_MAIN(TestCallThread)
#include "tst_callthread.moc"
