#pragma once

#include <QObject>

#include <chrono>
#include <optional>
#include <string>

class QTimer;

// The service manager's watchdog: while it asks for one (WATCHDOG_USEC, for this process when
// WATCHDOG_PID is set), "WATCHDOG=1" goes out at half its interval from a timer on the window
// thread, so a window thread that hangs stops the pings and the manager restarts the program.
// "READY=1" goes out once, when the station says it is ready. Without a manager nothing is sent.
class Service_Watchdog : public QObject
{
    Q_OBJECT

public:
    explicit Service_Watchdog(QObject* parent = nullptr);

    // Starts the pings when the manager asked for them.
    void Start();
    // "READY=1" with a status line; later calls only update the status when it changed.
    void Report_Ready(const std::string& status);
    void Report_Stopping();

    bool Ready_Reported() const { return ready_reported; }
    // Zero when no watchdog was asked for.
    std::chrono::milliseconds Ping_Interval() const
    {
        return ping_interval.value_or(std::chrono::milliseconds(0));
    }

private:
    QTimer* timer;
    std::optional<std::chrono::milliseconds> ping_interval;
    std::string last_status;
    bool ready_reported = false;
};

// The ping interval for the manager's settings: half of `watchdog_usec`, at least 1 ms; nothing
// when the value is missing, not a positive number, or meant for another process.
std::optional<std::chrono::milliseconds> Watchdog_Ping_Interval(
    const char* watchdog_usec, const char* watchdog_pid, long own_pid);
