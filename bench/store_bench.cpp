#include "store/Event_Store.h"
#include "store/Fixed_Text.h"
#include "store/Object_Table.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

constexpr std::int64_t Now = 1'700'000'000;

// A private folder for the data files of one benchmark, removed afterwards.
class Bench_Folder
{
public:
    Bench_Folder()
        : folder(std::filesystem::temp_directory_path()
            / ("store_bench_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
    {
        std::filesystem::create_directories(folder);
    }
    ~Bench_Folder() { std::filesystem::remove_all(folder); }
    std::string File(const char* name) const { return (folder / name).string(); }

private:
    std::filesystem::path folder;
};

Event_Record Make_Event(const char* account)
{
    Event_Record event {};
    Set_Fixed_Text(event.Receiver_Number, "01");
    Set_Fixed_Text(event.Line_Number, "2");
    Set_Fixed_Text(event.Account_Number, account);
    Set_Fixed_Text(event.Qualifier_Event, "1401");
    Set_Fixed_Text(event.IP_Address, "10.0.0.1");
    event.Time_Received = Now;
    event.Signal_Quality = 255;
    return event;
}

// A full table of supervised accounts, all older than Now, none about to fail.
void Write_Full_Table(const std::string& path)
{
    auto records = std::make_unique<Object_Record[]>(Object_Count);
    for (std::uint32_t position = 0; position < Object_Count; ++position) {
        Set_Fixed_Text(records[position].Account_Number, "OBJ" + std::to_string(position));
        records[position].Last_Time = Now - 1000 - position % 977;
        records[position].Ping_Timeout = 1000000;
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(records.get()), Object_File_Size);
}

void BM_Update_Object_New_Account_Full_Table(benchmark::State& state)
{
    Bench_Folder folder;
    const std::string path = folder.File("latevn.dat");
    Write_Full_Table(path);
    Manual_Reset_Event gate {true};
    std::mutex object_lock;
    Object_Table table {gate, object_lock, [] { return Now; }};
    table.Load_Object_File(path);

    Event_Record event = Make_Event("");
    std::uint32_t serial = 0;
    for (auto _ : state) {
        // Every message is from an account never seen: the whole table is scanned, the oldest
        // object is replaced and its 88 bytes written.
        char account[17];
        std::snprintf(account, sizeof account, "NEW%u", serial++);
        Set_Fixed_Text(event.Account_Number, account);
        benchmark::DoNotOptimize(table.Update_Object(event, false));
    }
}
BENCHMARK(BM_Update_Object_New_Account_Full_Table)->Unit(benchmark::kMicrosecond);

void BM_Supervision_Tick_Full_Table(benchmark::State& state)
{
    Bench_Folder folder;
    const std::string path = folder.File("latevn.dat");
    Write_Full_Table(path);
    Manual_Reset_Event gate {true};
    std::mutex object_lock;
    Object_Table table {gate, object_lock};
    table.Load_Object_File(path);
    for (auto _ : state)
        benchmark::DoNotOptimize(table.Supervision_Tick());
}
BENCHMARK(BM_Supervision_Tick_Full_Table)->Unit(benchmark::kMicrosecond);

void BM_Append_Event(benchmark::State& state)
{
    Bench_Folder folder;
    Manual_Reset_Event gate {true};
    Event_Store store {gate};
    store.Load_Event_File(folder.File("tarvel.dat"));
    const Event_Record event = Make_Event("123456");
    for (auto _ : state) {
        store.Append_Event(event);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Append_Event);

// One save pass as the output thread runs it every cycle with one new event: the walk over all
// slots, one record write and Next_Slot.
void BM_Save_Pass_One_New_Event(benchmark::State& state)
{
    Bench_Folder folder;
    Manual_Reset_Event gate {true};
    Event_Store store {gate};
    store.Load_Event_File(folder.File("tarvel.dat"));
    const Event_Record event = Make_Event("123456");
    for (auto _ : state) {
        store.Append_Event(event);
        benchmark::DoNotOptimize(store.Save_New_Events());
    }
}
BENCHMARK(BM_Save_Pass_One_New_Event)->Unit(benchmark::kMicrosecond);

} // namespace
