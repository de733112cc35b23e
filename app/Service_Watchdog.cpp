#include "app/Service_Watchdog.h"

#include "app/Service_Notify.h"

#include <QCoreApplication>
#include <QTimer>

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

std::optional<long long> Positive_Number(const char* text)
{
    if (text == nullptr)
        return std::nullopt;
    long long value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || value <= 0)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::chrono::milliseconds> Watchdog_Ping_Interval(
    const char* watchdog_usec, const char* watchdog_pid, long own_pid)
{
    const std::optional<long long> usec = Positive_Number(watchdog_usec);
    if (!usec)
        return std::nullopt;
    if (watchdog_pid != nullptr && Positive_Number(watchdog_pid) != own_pid)
        return std::nullopt;
    const auto half
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::microseconds(*usec / 2));
    return std::max(half, std::chrono::milliseconds(1));
}

Service_Watchdog::Service_Watchdog(QObject* parent)
    : QObject(parent)
    , timer(new QTimer(this))
    , ping_interval(Watchdog_Ping_Interval(std::getenv("WATCHDOG_USEC"), std::getenv("WATCHDOG_PID"),
          static_cast<long>(QCoreApplication::applicationPid())))
{
    timer->setObjectName(QStringLiteral("Timer_Watchdog"));
    connect(timer, &QTimer::timeout, this, [] { Notify_Service_Manager("WATCHDOG=1"); });
}

void Service_Watchdog::Start()
{
    if (!ping_interval)
        return;
    timer->start(*ping_interval);
    Notify_Service_Manager("WATCHDOG=1");
}

void Service_Watchdog::Report_Ready(const std::string& status)
{
    if (ready_reported && status == last_status)
        return;
    const std::string state = (ready_reported ? "" : "READY=1\n") + std::string("STATUS=") + status;
    ready_reported = true;
    last_status = status;
    Notify_Service_Manager(state);
}

void Service_Watchdog::Report_Stopping()
{
    // The pings go on: an end that hangs is the manager's stop time-out to handle.
    Notify_Service_Manager("STOPPING=1");
}
