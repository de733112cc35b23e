#include "base/File_Fault.h"

#include <atomic>

namespace {

std::atomic<File_Fault_Hook> fault_hook {nullptr};

} // namespace

void Set_File_Fault_Hook(File_Fault_Hook hook)
{
    fault_hook.store(hook, std::memory_order_release);
}

int Injected_File_Fault(File_Operation operation)
{
    const File_Fault_Hook hook = fault_hook.load(std::memory_order_acquire);
    return hook ? hook(operation) : 0;
}
