#include "store/Supervision_Timer.h"

#include "base/Sync_Events.h"
#include "store/Object_Table.h"
#include "tests/store/Store_Test_Support.h"

#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include <mutex>
#include <string>

namespace {

class Supervision_Timer_Test : public ::testing::Test
{
protected:
    void SetUp() override { objects.Load_Object_File(folder.File("latevn.dat")); }

    void Add_Object(const std::string& account)
    {
        objects.Update_Object(Make_Event(account, 1765262000), false);
    }

    QTimer* Timer() { return supervision.findChild<QTimer*>(QStringLiteral("Timer_Ping_Update")); }

    Temp_Folder folder;
    Manual_Reset_Event gate {true};
    std::mutex object_lock;
    Object_Table objects {gate, object_lock};
    Auto_Reset_Event object_changed;
    Supervision_Timer supervision {objects, object_changed};
    QSignalSpy changed {&supervision, &Supervision_Timer::Objects_Changed};
};

TEST_F(Supervision_Timer_Test, RunsEverySecondFromStartToStop)
{
    ASSERT_NE(Timer(), nullptr);
    EXPECT_FALSE(supervision.Active());
    supervision.Start();
    EXPECT_TRUE(supervision.Active());
    EXPECT_TRUE(Timer()->isActive());
    EXPECT_EQ(Timer()->interval(), 1000);
    supervision.Stop();
    EXPECT_FALSE(supervision.Active());
}

TEST_F(Supervision_Timer_Test, Failed_Objects_Are_Named_Once_And_A_Flood_Only_Counted)
{
    QSignalSpy failed(&supervision, &Supervision_Timer::Objects_Failed);
    const int objects_added = Supervision_Timer::Failed_Accounts_Named + 3;
    for (int i = 0; i < objects_added; ++i) {
        Add_Object("A" + std::to_string(i));
        objects.Set_Ping_Timeout(static_cast<std::uint32_t>(i), 1);
    }
    for (int tick = 0; tick < 61; ++tick)
        supervision.Timer_Ping_UpdateTimer();
    ASSERT_EQ(failed.count(), 1) << "one tick failed them all, and only once";
    const QStringList accounts = failed.at(0).at(0).toStringList();
    EXPECT_EQ(failed.at(0).at(1).toInt(), objects_added);
    ASSERT_EQ(accounts.size(), Supervision_Timer::Failed_Accounts_Named);
    EXPECT_EQ(accounts.front(), QStringLiteral("A0"));
}

TEST_F(Supervision_Timer_Test, A_Stored_Message_Is_Reported_Once_And_Taken)
{
    Add_Object("1111");
    supervision.Timer_Ping_UpdateTimer();
    EXPECT_EQ(changed.count(), 0) << "nothing signalled: no change";

    object_changed.Set();
    supervision.Timer_Ping_UpdateTimer();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(object_changed.Try_Take()) << "the tick took the change";
    supervision.Timer_Ping_UpdateTimer();
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(Supervision_Timer_Test, Each_Tick_Counts_Down_And_A_Failure_Is_Reported)
{
    Add_Object("1111");
    Add_Object("2222");
    objects.Set_Ping_Timeout(1, 1);
    EXPECT_EQ(objects.Object(1).Ping_Countdown, 60u);
    supervision.Timer_Ping_UpdateTimer();
    EXPECT_EQ(objects.Object(1).Ping_Countdown, 59u);
    for (int tick = 0; tick < 58; ++tick)
        objects.Supervision_Tick();
    EXPECT_EQ(changed.count(), 0);
    supervision.Timer_Ping_UpdateTimer(); // the 60th tick fails object 2222
    EXPECT_NE(objects.Supervision_Flags(1) & Flag_Failed, 0);
    EXPECT_EQ(objects.Supervision_Flags(0) & Flag_Failed, 0);
    EXPECT_EQ(changed.count(), 1) << "a failure is a change by itself";
}

TEST_F(Supervision_Timer_Test, Delete_All_Objects_Stops_The_Countdown_Around_The_Change)
{
    Add_Object("1111");
    supervision.Start();
    bool active_during_change = true;
    objects.Set_Bulk_Change_Drain([&] { active_during_change = supervision.Active(); });
    EXPECT_TRUE(supervision.Delete_All_Objects());
    EXPECT_FALSE(active_during_change);
    EXPECT_TRUE(supervision.Active()) << "the countdown goes on afterwards";
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(objects.Object(0).Last_Time, 0);

    // Stopped (the program ending) while the change waited: it stays stopped.
    objects.Set_Bulk_Change_Drain([&] { supervision.Stop(); });
    supervision.Delete_All_Objects();
    EXPECT_FALSE(supervision.Active());
}

} // namespace
