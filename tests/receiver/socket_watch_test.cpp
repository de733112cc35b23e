#include "receiver/Socket_Watch.h"

#include "tests/support/Pump_Until.h"

#include <QObject>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Socket pairs whose first ends are watched; the test writes into the second ends. The test's
// thread is the owner's thread, so readiness arrives while it serves its event queue.
class Socket_Watch_Test : public ::testing::Test
{
protected:
    static constexpr int Pairs = 3;

    void SetUp() override
    {
        for (auto& pair : pairs)
            ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair.data()), 0);
    }

    void TearDown() override
    {
        for (auto& pair : pairs)
            for (int end : pair)
                if (end >= 0)
                    ::close(end);
    }

    void Drain(int index)
    {
        char bytes[64];
        while (::read(pairs[index][0], bytes, sizeof bytes) > 0) { }
    }

    QObject owner;
    std::array<std::array<int, 2>, Pairs> pairs {};
    std::vector<int> readable; // the tags reported readable, in order
    std::vector<int> writable;
    Socket_Watch watch {owner, [this](void* tag, bool can_read, bool can_write) {
                            const int index = static_cast<int>(reinterpret_cast<std::intptr_t>(tag));
                            if (can_read) {
                                readable.push_back(index);
                                Drain(index);
                            }
                            if (can_write)
                                writable.push_back(index);
                        }};
};

void* Tag(int index)
{
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(index));
}

// A connection closed while its bytes wait must never be reported: its descriptor number may
// already belong to a new connection.
TEST_F(Socket_Watch_Test, RemovedDescriptorIsNeverReportedEvenWithBytesWaiting)
{
    for (int i = 0; i < Pairs; ++i) {
        ASSERT_TRUE(watch.Add(pairs[i][0], Tag(i)));
        ASSERT_EQ(::write(pairs[i][1], "x", 1), 1);
    }
    watch.Remove(pairs[1][0]);
    EXPECT_TRUE(Pump_Until([&] { return readable.size() >= 2; }, 3000));
    Pump_Until([] { return false; }, 100); // a report for the removed one would come meanwhile
    std::sort(readable.begin(), readable.end());
    EXPECT_EQ(readable, (std::vector<int> {0, 2}));
}

// Room to write is reported only while it is wanted, and reading goes on meanwhile.
TEST_F(Socket_Watch_Test, WritableOnlyWhileWanted)
{
    ASSERT_TRUE(watch.Add(pairs[0][0], Tag(0)));
    Pump_Until([] { return false; }, 100);
    EXPECT_TRUE(writable.empty());
    watch.Want_Write(pairs[0][0], Tag(0), true);
    EXPECT_TRUE(Pump_Until([&] { return !writable.empty(); }, 3000));
    watch.Want_Write(pairs[0][0], Tag(0), false);
    writable.clear();
    ASSERT_EQ(::write(pairs[0][1], "x", 1), 1);
    EXPECT_TRUE(Pump_Until([&] { return !readable.empty(); }, 3000));
    EXPECT_TRUE(writable.empty());
}

// The peer's hang-up counts as readable, so the read finds the end.
TEST_F(Socket_Watch_Test, HangUpIsReportedAsReadable)
{
    ASSERT_TRUE(watch.Add(pairs[2][0], Tag(2)));
    ::close(pairs[2][1]);
    pairs[2][1] = -1;
    EXPECT_TRUE(Pump_Until([&] { return !readable.empty(); }, 3000));
    EXPECT_EQ(readable.front(), 2);
    watch.Remove(pairs[2][0]);
}

} // namespace
