#pragma once

#include <string>

// The platform's description of an error code (errno, or GetLastError on Windows), as strerror or
// FormatMessage give it; one implementation per OS (System_Error_posix.cpp, System_Error_win32.cpp).
std::string System_Error_Text(int error);
