#include "app/Single_Instance.h"

#include <windows.h>

bool Single_Instance::Acquire(const std::string& name, const std::string& /*private_folder*/)
{
    HANDLE mutex = ::CreateMutexA(nullptr, TRUE, name.c_str());
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    handle_ = reinterpret_cast<long long>(mutex);
    return true;
}
