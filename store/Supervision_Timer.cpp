#include "store/Supervision_Timer.h"

#include "base/Sync_Events.h"
#include "store/Object_Table.h"

#include <QTimer>

Supervision_Timer::Supervision_Timer(Object_Table& object_table, Auto_Reset_Event& object_changed, QObject* parent)
    : QObject(parent)
    , table(object_table)
    , changed(object_changed)
    , timer(new QTimer(this))
{
    timer->setObjectName(QStringLiteral("Timer_Ping_Update"));
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, &Supervision_Timer::Timer_Ping_UpdateTimer);
}

void Supervision_Timer::Start()
{
    running = true;
    timer->start();
}

void Supervision_Timer::Stop()
{
    running = false;
    timer->stop();
}

bool Supervision_Timer::Active() const
{
    return timer->isActive();
}

bool Supervision_Timer::Delete_All_Objects()
{
    timer->stop();
    const bool deleted = table.Delete_All_Objects();
    // The program may have ended while the change waited for the output thread.
    if (running)
        timer->start();
    if (deleted)
        emit Objects_Changed();
    return deleted;
}

void Supervision_Timer::Timer_Ping_UpdateTimer()
{
    const bool failed = table.Supervision_Tick();
    if (changed.Try_Take() || failed)
        emit Objects_Changed();
}
