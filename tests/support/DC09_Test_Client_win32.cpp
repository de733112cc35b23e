#include "tests/support/DC09_Test_Client.h"

#include <winsock2.h>

bool Set_Reset_On_Close(qintptr descriptor)
{
    const linger abortive {1, 0};
    return ::setsockopt(static_cast<SOCKET>(descriptor), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&abortive), sizeof abortive)
        == 0;
}
