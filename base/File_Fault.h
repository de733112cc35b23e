#pragma once

#include <cstdint>

// Tests make a file operation fail on demand: a hook that returns non-zero makes the operation
// fail with that code (errno, or GetLastError on Windows) before the system is asked. There is no
// hook in normal operation. The data files, the settings file and the log writer all ask it.
enum class File_Operation : std::uint8_t { Open, Create, Size, Seek, Read, Write };
using File_Fault_Hook = int (*)(File_Operation operation);
void Set_File_Fault_Hook(File_Fault_Hook hook);

// 0 when the operation may go ahead, otherwise the error code to fail it with.
int Injected_File_Fault(File_Operation operation);
