#pragma once

#include <string_view>

// The service manager's notification protocol: one datagram of "KEY=value" lines sent to the
// socket that $NOTIFY_SOCKET names (a path, or "@" for the abstract namespace). Spoken here
// directly, a dozen lines, rather than through a library: the program then needs nothing more to
// build or run anywhere, and outside a service the call does nothing. One implementation per OS
// (Service_Notify_posix.cpp, Service_Notify_win32.cpp, which never has a manager listening).
// False when no manager listens or the datagram could not be sent.
bool Notify_Service_Manager(std::string_view state);
