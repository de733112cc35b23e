#pragma once

#include <QObject>
#include <QStringList>

class Auto_Reset_Event;
class Object_Table;
class QTimer;

// Timer_Ping_Update: once a second it counts every object's supervision time-out down, from
// start-up to shutdown, whether any window shows the objects or not. It says when the object list
// changed since the last tick: a message was stored (the receiver sets Object_Changed) or an object
// failed.
class Supervision_Timer : public QObject
{
    Q_OBJECT

public:
    Supervision_Timer(Object_Table& table, Auto_Reset_Event& object_changed, QObject* parent = nullptr);

    void Start();
    void Stop();
    bool Active() const;

    // "Delete all objects": no countdown may run while the table is emptied, and a bulk change
    // serves the window thread's timers while it waits for the output thread. False when the
    // object file does not exist, and nothing changed.
    bool Delete_All_Objects();

    // One tick, as the timer runs it.
    void Timer_Ping_UpdateTimer();

    // How many failed accounts one tick names; the rest are only counted.
    static constexpr int Failed_Accounts_Named = 10;

signals:
    void Objects_Changed();
    // Objects failed in this tick: `count` of them, the first accounts named in `accounts`.
    void Objects_Failed(const QStringList& accounts, int count);

private:
    Object_Table& table;
    Auto_Reset_Event& changed;
    QTimer* timer;
    bool running = false;
};
