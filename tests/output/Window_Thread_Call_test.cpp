#include "output/Window_Thread_Call.h"
#include "output/Worker_Thread.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

using namespace std::chrono_literals;

// The program end waits for its workers this way: their hand-overs to the window thread must run
// during the wait, and the wait must sleep between them instead of spinning a core for up to 5 s.
TEST(Serve_Window_Thread_Until, RunsHandOversAndSleepsBetweenChecks)
{
    QObject window_object;
    const Window_Thread_Call call(&window_object);
    std::atomic<bool> handed_over {false};
    Worker_Thread worker;
    worker.Start([&](std::stop_token stop) {
        Worker_Thread::Pause(300, stop);
        call.Run([&] { handed_over = true; }, std::stop_token {}); // waits for the window thread
        Worker_Thread::Pause(700, std::stop_token {});
    });

    int checks = 0;
    QElapsedTimer clock;
    clock.start();
    const bool finished = Serve_Window_Thread_Until(
        [&] {
            ++checks;
            return worker.Finished();
        },
        10s);
    const qint64 elapsed = clock.elapsed();
    worker.Release();

    EXPECT_TRUE(finished);
    EXPECT_TRUE(handed_over.load());
    EXPECT_GE(elapsed, 900);
    // A check every few milliseconds at most; a spinning wait checks hundreds of times per millisecond.
    EXPECT_LE(checks, elapsed / 2 + 10) << "checks in " << elapsed << " ms";
}

TEST(Serve_Window_Thread_Until, GivesUpAtItsLimit)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(Serve_Window_Thread_Until([] { return false; }, 200ms));
    EXPECT_GE(clock.elapsed(), 200);
    EXPECT_LT(clock.elapsed(), 5000);
}

} // namespace
