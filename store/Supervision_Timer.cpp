#include "store/Supervision_Timer.h"

#include "base/Sync_Events.h"
#include "store/Fixed_Text.h"
#include "store/Object_Table.h"

#include <QTimer>

Supervision_Timer::Supervision_Timer(
    Object_Table& object_table, Auto_Reset_Event& object_changed, QObject* parent)
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
    int failures = 0;
    QStringList accounts;
    const bool failed = table.Supervision_Tick([&failures, &accounts](const Object_Record& record) {
        if (++failures <= Failed_Accounts_Named) {
            const std::string_view account = Fixed_Text(record.Account_Number);
            accounts.push_back(QString::fromLatin1(account.data(), static_cast<qsizetype>(account.size())));
        }
    });
    if (changed.Try_Take() || failed)
        emit Objects_Changed();
    if (failures != 0)
        emit Objects_Failed(accounts, failures);
}
