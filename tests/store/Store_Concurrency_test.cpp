#include "Store_Test_Support.h"
#include "store/Atomic_Bits.h"
#include "store/Event_Store.h"
#include "store/Object_Table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr auto Deadline = 60s;

// The output thread's side of the event store, reduced to what touches the store: a save pass,
// then an event pass that "sends" every due record and marks it reported.
void Output_Passes(Event_Store& store, std::stop_token stop)
{
    while (!stop.stop_requested()) {
        store.Save_New_Events();
        Event_File_Pass pass;
        for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot) {
            if ((store.Status(slot) & (Status_Saved | Status_Reported)) != Status_Saved)
                continue;
            Event_Copy sent;
            if (store.Copy_Event(slot, sent))
                store.Mark_Event_Reported(pass, slot, sent.Generation);
        }
        std::this_thread::yield();
    }
}

TEST(Store_Concurrency, AppenderAndSaverMarkerKeepEverySlotAndTheFileExact)
{
    Temp_Folder folder;
    const std::string path = folder.File("tarvel.dat");
    Manual_Reset_Event gate {true};
    Event_Store store {gate};
    ASSERT_EQ(store.Load_Event_File(path), "");

    constexpr int Event_Count = 12'000; // wraps the ring twice
    std::jthread output([&store](std::stop_token stop) { Output_Passes(store, stop); });

    const auto deadline = std::chrono::steady_clock::now() + Deadline;
    for (int index = 0; index < Event_Count; ++index) {
        // Like a real line, the ring never overtakes the output thread: an event is reported
        // before its slot is reused. A lost save or mark would stall here until the deadline.
        const std::uint32_t slot = store.Next_Slot();
        while (store.Status(slot) != 0 && store.Status(slot) != 7)
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "event " << index << " never reported";
        store.Append_Event(Make_Event("ACC" + std::to_string(index), index));
    }
    for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot)
        while (store.Status(slot) != 7)
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "slot " << slot << " never reported";
    output.request_stop();
    output.join();

    EXPECT_EQ(store.Next_Slot(), Event_Count % Event_Slot_Count);
    for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot) {
        // The last event into each slot is the one with the highest index of that residue.
        int expected = static_cast<int>(slot);
        while (expected + static_cast<int>(Event_Slot_Count) < Event_Count)
            expected += Event_Slot_Count;
        ASSERT_EQ(Fixed_Text(store.Slot(slot).Account_Number), "ACC" + std::to_string(expected)) << slot;
        ASSERT_EQ(store.Slot(slot).Time_Received, expected);
    }
    // Every slot reported, the status byte written last: the file is the memory image exactly.
    const std::vector<char> file = Read_File(path);
    ASSERT_EQ(file.size(), sizeof(Event_Store_Image));
    EXPECT_EQ(std::memcmp(file.data(), &store.Image(), file.size()), 0);
}

// The ring overtakes a reader that copies one slot again and again: every copy the store hands
// out is one whole record, never a mix of two. Under ThreadSanitizer (scripts/tsan.sh) the copy and
// the rewrite must also be free of data races.
TEST(Store_Concurrency, CopiesOfASlotBeingRewrittenAreWholeOrRefused)
{
    Manual_Reset_Event gate {true};
    Event_Store store {gate};
    std::atomic<bool> done {false};
    std::atomic<int> whole {0};
    std::atomic<int> mixed {0};
    std::jthread reader([&] {
        while (!done.load()) {
            Event_Copy copy;
            if (!store.Copy_Event(0, copy))
                continue;
            if (Fixed_Text(copy.Record.Account_Number) == "ACC" + std::to_string(copy.Record.Time_Received))
                ++whole;
            else
                ++mixed;
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + Deadline;
    for (int round = 0; round < 100 && std::chrono::steady_clock::now() < deadline; ++round)
        for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot) {
            const int index = round * static_cast<int>(Event_Slot_Count) + static_cast<int>(slot);
            store.Append_Event(Make_Event("ACC" + std::to_string(index), index));
            if (slot == 0)
                std::this_thread::yield(); // leave the reader room to copy slot 0 between rewrites
        }
    done = true;
    reader.join();
    EXPECT_GT(whole.load(), 0);
    EXPECT_EQ(mixed.load(), 0);
}

TEST(Store_Concurrency, TheLastSupervisionChangeIsAlwaysReported)
{
    Temp_Folder folder;
    const std::string path = folder.File("latevn.dat");
    Manual_Reset_Event gate {true};
    std::mutex object_lock;
    Object_Table table {gate, object_lock};
    ASSERT_EQ(table.Load_Object_File(path), "");

    constexpr std::uint32_t Objects = 50;
    for (std::uint32_t position = 0; position < Objects; ++position) {
        table.Update_Object(Make_Event("ACC" + std::to_string(position), 1), false);
        table.Set_Ping_Timeout(position, 1);
    }

    // The state each object was last reported in, as the automation software saw it.
    std::vector<int> last_reported(Objects, -1);
    std::atomic<bool> main_done {false};
    std::jthread output([&] {
        const auto deadline = std::chrono::steady_clock::now() + Deadline;
        bool pending = true;
        while ((!main_done || pending) && std::chrono::steady_clock::now() < deadline) {
            pending = false;
            for (std::uint32_t position = 0; position < Objects; ++position) {
                if ((table.Supervision_Flags(position) & Flag_Report) == 0)
                    continue;
                pending = true;
                const Object_Record line = table.Copy_Object(position);
                std::this_thread::yield(); // the line is out; the main thread may change the object
                if (table.Clear_Flag_Report(position, line))
                    last_reported[position] = line.Supervision_Flags & Flag_Failed;
            }
        }
    });

    for (int round = 0; round < 40; ++round) {
        for (int tick = 0; tick < 60; ++tick)
            table.Supervision_Tick();
        for (std::uint32_t position = 0; position < Objects; position += 1 + round % 3)
            table.Update_Object(Make_Event("ACC" + std::to_string(position), 2 + round), false);
    }
    main_done = true;
    output.join();

    for (std::uint32_t position = 0; position < Objects; ++position) {
        EXPECT_EQ(table.Supervision_Flags(position) & Flag_Report, 0) << position;
        EXPECT_EQ(last_reported[position], table.Supervision_Flags(position) & Flag_Failed) << position;
    }
}

} // namespace
