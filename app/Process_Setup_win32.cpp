#include "app/Process_Setup.h"

#include <QMetaObject>
#include <QObject>

#include <windows.h>

namespace {

QObject* Request_Owner = nullptr;
std::function<void()>* Request_Handler = nullptr;

BOOL WINAPI On_Console_Event(DWORD kind)
{
    if (kind != CTRL_C_EVENT && kind != CTRL_BREAK_EVENT && kind != CTRL_CLOSE_EVENT)
        return FALSE;
    if (Request_Owner && Request_Handler)
        QMetaObject::invokeMethod(
            Request_Owner, [] { (*Request_Handler)(); }, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

void Raise_Descriptor_Limit()
{ }

void Watch_Termination_Requests(QObject* owner, std::function<void()> on_request)
{
    Request_Owner = owner;
    Request_Handler = new std::function<void()>(std::move(on_request));
    ::SetConsoleCtrlHandler(On_Console_Event, TRUE);
}
