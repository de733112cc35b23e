#include "base/Sync_Events.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

using namespace std::chrono_literals;

namespace {

TEST(Manual_Reset_Event, StaysSetUntilReset)
{
    Manual_Reset_Event event {true};
    EXPECT_TRUE(event.Is_Set());
    EXPECT_TRUE(event.Wait_For(0ms));
    EXPECT_TRUE(event.Wait_For(0ms)) << "a wait does not consume the signal";
    event.Reset();
    EXPECT_FALSE(event.Is_Set());
    EXPECT_FALSE(event.Wait_For(20ms));
}

TEST(Manual_Reset_Event, SetWakesATimedWaiter)
{
    Manual_Reset_Event event;
    auto waiter = std::async(std::launch::async, [&] { return event.Wait_For(10s); });
    std::this_thread::sleep_for(20ms);
    event.Set();
    ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
}

TEST(Manual_Reset_Event, UntimedWaitReturnsWhenSet)
{
    Manual_Reset_Event event;
    std::promise<bool> outcome;
    std::jthread waiter([&](std::stop_token stop) { outcome.set_value(event.Wait(stop)); });
    std::this_thread::sleep_for(20ms);
    event.Set();
    auto result = outcome.get_future();
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(result.get());
}

TEST(Manual_Reset_Event, UntimedWaitLeavesWhenTheThreadIsAskedToEnd)
{
    Manual_Reset_Event gate; // reset for good, as at shutdown
    std::promise<bool> outcome;
    std::jthread waiter([&](std::stop_token stop) { outcome.set_value(gate.Wait(stop)); });
    std::this_thread::sleep_for(20ms);
    waiter.request_stop();
    auto result = outcome.get_future();
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(result.get());
    EXPECT_FALSE(gate.Is_Set());
}

TEST(Store_Gate_Fence, ClosesTheGateForTheScopeAfterTheSettleTime)
{
    Manual_Reset_Event gate {true};
    const auto start = std::chrono::steady_clock::now();
    {
        Store_Gate_Fence fence(gate, {});
        EXPECT_GE(std::chrono::steady_clock::now() - start, Store_Gate_Settle_Time);
        EXPECT_FALSE(gate.Is_Set());
    }
    EXPECT_TRUE(gate.Is_Set());
}

} // namespace
