#include "tests/support/DC09_Test_Client.h"

#include <sys/socket.h>

bool Set_Reset_On_Close(qintptr descriptor)
{
    const linger abortive {1, 0};
    return ::setsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive) == 0;
}
