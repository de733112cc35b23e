#include "app/Service_Watchdog.h"

#include "tests/support/Pump_Until.h"
#include "tests/support/Service_Manager_Stub.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(Watchdog_Ping_Interval_Test, HalfTheManagersIntervalForThisProcessOnly)
{
    EXPECT_EQ(Watchdog_Ping_Interval("30000000", nullptr, 42), 15000ms);
    EXPECT_EQ(Watchdog_Ping_Interval("30000000", "42", 42), 15000ms);
    EXPECT_EQ(Watchdog_Ping_Interval("100000", nullptr, 42), 50ms);
    EXPECT_EQ(Watchdog_Ping_Interval("999", nullptr, 42), 1ms); // never a timer of 0 ms
    EXPECT_EQ(Watchdog_Ping_Interval("30000000", "41", 42), std::nullopt); // meant for another
    for (const char* bad : {"", "0", "-5", "abc", "30s", "99999999999999999999"})
        EXPECT_EQ(Watchdog_Ping_Interval(bad, nullptr, 42), std::nullopt) << bad;
    EXPECT_EQ(Watchdog_Ping_Interval(nullptr, nullptr, 42), std::nullopt);
}

class Service_Watchdog_Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Manager.Bound());
        ::unsetenv("WATCHDOG_PID");
    }
    void TearDown() override { ::unsetenv("WATCHDOG_USEC"); }
    void Collect() { Manager.Collect(); }
    long Count(const std::string& text) const { return Manager.Count(text); }

    Service_Manager_Stub Manager;
    const std::vector<std::string>& Received = Manager.Collect();
};

TEST_F(Service_Watchdog_Test, PingsAtHalfTheIntervalFromTheThreadsTimerAndReportsReadyOnce)
{
    ::setenv("WATCHDOG_USEC", "200000", 1);
    QObject owner;
    auto* watchdog = new Service_Watchdog(&owner);
    watchdog->Start();
    const auto* timer = watchdog->findChild<QTimer*>(QStringLiteral("Timer_Watchdog"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 100);

    watchdog->Report_Ready("Receiver port 7777 open");
    watchdog->Report_Ready("Receiver port 7777 open");
    // Pings come only while this thread serves its queue: a hung window thread sends none.
    ASSERT_TRUE(Pump_Until(
        [&] {
            Collect();
            return Count("WATCHDOG=1") >= 4;
        },
        5000));
    EXPECT_EQ(Received.front(), "WATCHDOG=1"); // the first at once, not after a whole interval
    EXPECT_EQ(Count("READY=1\nSTATUS=Receiver port 7777 open"), 1);
    const long pings = Count("WATCHDOG=1");
    QThread::msleep(350); // the thread hangs for more than three intervals
    Collect();
    EXPECT_EQ(Count("WATCHDOG=1"), pings);

    watchdog->Report_Ready("Receiver port closed by the settings");
    watchdog->Report_Stopping();
    Collect();
    EXPECT_EQ(Count("STATUS=Receiver port closed by the settings"), 1);
    EXPECT_EQ(Received.back(), "STOPPING=1");
}

TEST_F(Service_Watchdog_Test, NoWatchdogAskedForMeansNoPings)
{
    ::unsetenv("WATCHDOG_USEC");
    Service_Watchdog watchdog;
    watchdog.Start();
    EXPECT_EQ(watchdog.Ping_Interval(), 0ms);
    EXPECT_FALSE(watchdog.findChild<QTimer*>(QStringLiteral("Timer_Watchdog"))->isActive());
    watchdog.Report_Ready("Receiver port 7777 open"); // still told: Type=notify needs it
    Pump_Until([] { return false; }, 150);
    Collect();
    EXPECT_EQ(Received, std::vector<std::string> {"READY=1\nSTATUS=Receiver port 7777 open"});
}

} // namespace
