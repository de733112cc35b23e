#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

// VmRSS of a process in kB, or -1 (Linux).
inline long Resident_Kb(long long pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}
