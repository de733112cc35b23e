#include "output/Line_Hand_Over.h"

#include "output/Link_State.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Result = Line_Hand_Over::Result;

// The window thread is the test's own; the monitoring thread's side runs on a std::async thread.
class Line_Hand_Over_Test : public ::testing::Test
{
protected:
    Line_Hand_Over Make(Line_Hand_Over::Sender sender)
    {
        return Line_Hand_Over(&window_object, std::move(sender), reply.Event);
    }

    std::future<Result> Send(
        Line_Hand_Over& hand_over, const std::string& text, std::chrono::milliseconds wait)
    {
        reply.Byte.store(0);
        reply.Event.Reset();
        return std::async(std::launch::async, [&hand_over, &text, wait, this] {
            return hand_over.Send_And_Await(text.data(), text.size(), false, wait, stop.get_token());
        });
    }

    // Serves the window thread until the result is there (bounded); the result, if any.
    static std::optional<Result> Serve_Until_Done(std::future<Result>& result, int bound_ms = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (result.wait_for(0ms) != std::future_status::ready) {
            if (clock.elapsed() > bound_ms)
                return std::nullopt;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return result.get();
    }

    QObject window_object;
    Reply_Channel reply;
    std::stop_source stop;
    std::vector<std::string> sent;
};

TEST_F(Line_Hand_Over_Test, SendsOnTheWindowThreadAndReturnsWithTheAnswer)
{
    const auto window_thread = QThread::currentThread();
    bool on_window_thread = false;
    Line_Hand_Over hand_over = Make([&](const char* line, std::size_t size, bool) {
        on_window_thread = QThread::currentThread() == window_thread;
        sent.emplace_back(line, size);
        reply.Deliver(Answer_ACK);
        return true;
    });
    const std::string line = "first line";
    auto result = Send(hand_over, line, 2000ms);
    EXPECT_EQ(Serve_Until_Done(result), Result::Answered);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], line);
    EXPECT_TRUE(on_window_thread);
    EXPECT_EQ(reply.Byte.load(), Answer_ACK);
}

TEST_F(Line_Hand_Over_Test, NoConnectionEndsTheWaitAtOnce)
{
    Line_Hand_Over hand_over = Make([](const char*, std::size_t, bool) { return false; });
    const std::string line = "line";
    QElapsedTimer clock;
    clock.start();
    auto result = Send(hand_over, line, 2000ms);
    EXPECT_EQ(Serve_Until_Done(result), Result::No_Connection);
    EXPECT_LT(clock.elapsed(), 1500) << "no connection must not cost the whole answer wait";
}

TEST_F(Line_Hand_Over_Test, SilenceIsNoAnswerAfterTheWait)
{
    Line_Hand_Over hand_over = Make([](const char*, std::size_t, bool) { return true; });
    const std::string line = "line";
    auto result = Send(hand_over, line, 200ms);
    EXPECT_EQ(Serve_Until_Done(result), Result::No_Answer);
}

TEST_F(Line_Hand_Over_Test, AnEarlyAnswerWaitsForTheSendBeforeTheLineIsLeftAlone)
{
    // An answer that was late for the previous line lands before the window thread took this one.
    Line_Hand_Over hand_over = Make([&](const char* line, std::size_t size, bool) {
        sent.emplace_back(line, size);
        return true;
    });
    const std::string line = "line";
    auto result = Send(hand_over, line, 2000ms);
    reply.Deliver(Answer_ACK);
    EXPECT_EQ(result.wait_for(300ms), std::future_status::timeout) << "returned before its line was sent";
    EXPECT_EQ(Serve_Until_Done(result), Result::Answered);
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(Line_Hand_Over_Test, TheAnswerWaitCountsFromTheSend)
{
    // The window thread takes the line only after longer than the whole answer wait.
    Line_Hand_Over hand_over = Make([&](const char* line, std::size_t size, bool) {
        sent.emplace_back(line, size);
        return true;
    });
    const std::string line = "line";
    auto result = Send(hand_over, line, 500ms);
    QThread::msleep(1000);
    QCoreApplication::processEvents(); // sends
    ASSERT_EQ(sent.size(), 1u);
    QThread::msleep(50);
    reply.Deliver(Answer_NAK);
    EXPECT_EQ(Serve_Until_Done(result), Result::Answered);
}

TEST_F(Line_Hand_Over_Test, AStopBeforeTheSendGivesTheLineUpForGood)
{
    Line_Hand_Over hand_over = Make([&](const char* line, std::size_t size, bool) {
        sent.emplace_back(line, size);
        return true;
    });
    const std::string line = "line";
    auto result = Send(hand_over, line, 100ms);
    stop.request_stop();
    ASSERT_EQ(result.wait_for(3s), std::future_status::ready);
    EXPECT_EQ(result.get(), Result::Given_Up);
    QCoreApplication::processEvents();
    EXPECT_TRUE(sent.empty()) << "a line given up on must never go out";
}

} // namespace
