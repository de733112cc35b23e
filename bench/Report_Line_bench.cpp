#include "output/Report_Line.h"

#include "store/Fixed_Text.h"

#include <benchmark/benchmark.h>

// The output thread formats one line per event, supervision change and heartbeat; none of them
// may allocate.

namespace {

Event_Record Sample_Event()
{
    Event_Record record {};
    record.Status = Status_Used | Status_Saved;
    Set_Fixed_Text(record.Receiver_Number, "12");
    Set_Fixed_Text(record.Line_Number, "3");
    Set_Fixed_Text(record.Account_Number, "12345678");
    Set_Fixed_Text(record.Qualifier_Event, "1401");
    Set_Fixed_Text(record.Group_Partition, "01");
    Set_Fixed_Text(record.Zone_User, "015");
    return record;
}

void Event_Line(benchmark::State& state)
{
    const Event_Record record = Sample_Event();
    Report_Line out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Format_Report_Line(record, Report_Format_MLR2_DG, out));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Event_Line);

void Supervision_Line(benchmark::State& state)
{
    Object_Record object {};
    Set_Fixed_Text(object.Receiver_Number, "1");
    Set_Fixed_Text(object.Line_Number, "1");
    Set_Fixed_Text(object.Account_Number, "5678");
    object.Supervision_Flags = Flag_Failed | Flag_Report;
    Report_Line out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Format_Report_Line(Supervision_Record(object), Report_Format_MLR2_DG, out));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Supervision_Line);

void Heartbeat_Line(benchmark::State& state)
{
    Report_Line out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Format_Heartbeat_Line(1, out));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Heartbeat_Line);

} // namespace
