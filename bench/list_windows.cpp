// The two list windows shown offscreen over full stores: one refresh as the output thread or the
// supervision timer asks for it, and one refresh followed by painting what it changed.

#include "store/Event_Store.h"
#include "store/Fixed_Text.h"
#include "store/Object_Table.h"
#include "store/Supervision_Timer.h"
#include "ui/Event_List_Window.h"
#include "ui/List_Grid.h"
#include "ui/Object_List_Window.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <mutex>
#include <string>

namespace {

Event_Record Make_Event(const std::string& account, std::int64_t time)
{
    Event_Record event {};
    Set_Fixed_Text(event.Receiver_Number, "01");
    Set_Fixed_Text(event.Line_Number, "2");
    Set_Fixed_Text(event.Account_Number, account);
    Set_Fixed_Text(event.Qualifier_Event, "1401");
    Set_Fixed_Text(event.Group_Partition, "01");
    Set_Fixed_Text(event.Zone_User, "003");
    Set_Fixed_Text(event.IP_Address, "10.20.30.40");
    event.Time_Received = time;
    event.Signal_Quality = 75;
    return event;
}

struct Full_Stores
{
    Full_Stores()
    {
        events.Load_Event_File(folder.filePath(QStringLiteral("tarvel.dat")).toStdString());
        objects.Load_Object_File(folder.filePath(QStringLiteral("latevn.dat")).toStdString());
        // A wrapped ring: 5000 events into 4096 slots.
        for (int i = 0; i < 5000; ++i)
            events.Append_Event(Make_Event(std::to_string(100000 + i), 1'765'262'000 + i));
        for (std::uint32_t i = 0; i < Object_Count; ++i)
            objects.Update_Object(Make_Event(std::to_string(200000 + i), 1'765'262'000 + i), true);
        // Every tenth object fails.
        for (std::uint32_t i = 0; i < Object_Count; i += 10)
            objects.Set_Ping_Timeout(i, 1);
        for (int tick = 0; tick < 60; ++tick)
            objects.Supervision_Tick();
    }

    QTemporaryDir folder;
    Manual_Reset_Event gate {true};
    std::mutex object_lock;
    Event_Store events {gate};
    Object_Table objects {gate, object_lock};
    Auto_Reset_Event object_changed;
};

Full_Stores& Stores()
{
    static Full_Stores stores;
    return stores;
}

List_Grid* Grid(QWidget& form, const char* name)
{
    return form.findChild<List_Grid*>(QString::fromLatin1(name));
}

template<typename Form> void Show(Form& form)
{
    form.resize(1000, 600);
    form.show();
    QCoreApplication::processEvents();
}

void Event_List_Refresh(benchmark::State& state)
{
    TForm_Events form(Stores().events, {});
    Show(form);
    List_Grid* grid = Grid(form, "StringGrid_Events");
    if (state.range(0) == 2)
        form.Sort_By_Column(5); // by the event's name, the costliest key
    for (auto _ : state) {
        form.Refresh_Log_GridExecute();
        if (state.range(0) == 1)
            grid->viewport()->repaint();
    }
    state.counters["rows"] = grid->model()->rowCount();
}

void Object_List_Refresh(benchmark::State& state)
{
    // Never started: the benchmark refreshes by itself.
    Supervision_Timer supervision(Stores().objects, Stores().object_changed);
    TForm_Latest_Events form(Stores().objects, supervision, {}, QString());
    Show(form);
    List_Grid* grid = Grid(form, "StringGrid_Latest_Events");
    if (state.range(0) == 2) {
        form.findChild<QAction*>(QStringLiteral("Menu_Failed_First"))->trigger();
        form.Sort_By_Column(1); // then by account
    }
    for (auto _ : state) {
        form.Refresh_ID_List_GridExecute();
        if (state.range(0) == 1)
            grid->viewport()->repaint();
    }
    state.counters["rows"] = grid->model()->rowCount();
}

} // namespace

// Argument 0: the refresh alone; 1: the refresh and the repaint of the visible rows; 2: the refresh
// of rows sorted by a column (objects: failed first, then by account).
BENCHMARK(Event_List_Refresh)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Object_List_Refresh)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
