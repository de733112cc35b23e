#include "base/System_Error.h"

#include <cstring>

std::string System_Error_Text(int error)
{
    char buffer[256] = {};
    // The GNU variant may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}
