#pragma once

#include "store/Data_File.h"
#include "store/Event_Record.h"
#include "store/Fixed_Text.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

// The codes Data_File reports for the failures these tests provoke: errno on POSIX, the system's
// error code on Windows (a folder opened as a file is refused as access denied there).
#ifdef _WIN32
inline constexpr int Not_Found_Error = 2; // ERROR_FILE_NOT_FOUND
inline constexpr int Is_Directory_Error = 5; // ERROR_ACCESS_DENIED
inline constexpr int Disk_Full_Error = 112; // ERROR_DISK_FULL
#else
inline constexpr int Not_Found_Error = ENOENT;
inline constexpr int Is_Directory_Error = EISDIR;
inline constexpr int Disk_Full_Error = ENOSPC;
#endif

// A fresh folder under the system's temporary directory for each test, removed with its files.
// Plain C++ so that these tests build for Windows without Qt.
class Temp_Folder
{
public:
    Temp_Folder()
    {
        std::random_device seed;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100 && dir.empty(); ++attempt) {
            auto candidate = base / ("velmor-store-test-" + std::to_string(seed()));
            if (std::filesystem::create_directory(candidate))
                dir = candidate;
        }
    }
    ~Temp_Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    Temp_Folder(const Temp_Folder&) = delete;
    Temp_Folder& operator=(const Temp_Folder&) = delete;

    std::string File(const char* name) const { return (dir / name).string(); }

private:
    std::filesystem::path dir;
};

inline std::vector<char> Read_File(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void Write_File(const std::string& path, const void* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline void Write_Zero_File(const std::string& path, std::size_t size)
{
    const std::vector<char> zeros(size, 0);
    Write_File(path, zeros.data(), zeros.size());
}

inline std::uint64_t File_Size(const std::string& path)
{
    return std::filesystem::file_size(path);
}

// Puts something in the data file's place that makes the next open fail (Is_Directory_Error).
inline void Replace_With_Directory(const std::string& path)
{
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
}

// Keeps opens and seeks working while every write fails with Disk_Full_Error. False where the
// system has no such device (Windows): the caller skips its test.
inline bool Replace_With_Full_Device(const std::string& path)
{
#ifdef _WIN32
    (void)path;
    return false;
#else
    std::filesystem::remove(path);
    std::filesystem::create_symlink("/dev/full", path);
    return true;
#endif
}
#define REPLACE_WITH_FULL_DEVICE_OR_SKIP(path)                                                               \
    if (!Replace_With_Full_Device(path))                                                                     \
    GTEST_SKIP() << "no device here whose writes all fail"

// Windows refuses to remove a file that the object table holds open; these tests need POSIX's
// removal of an open file.
#ifdef _WIN32
#define SKIP_WHERE_OPEN_FILES_CANNOT_BE_REMOVED() GTEST_SKIP() << "an open file cannot be removed here"
#else
#define SKIP_WHERE_OPEN_FILES_CANNOT_BE_REMOVED() (void)0
#endif

inline Event_Record Make_Event(
    const std::string& account, std::int64_t time, const char* qualifier_event = "1401")
{
    Event_Record record {};
    Set_Fixed_Text(record.Receiver_Number, "01");
    Set_Fixed_Text(record.Line_Number, "2");
    Set_Fixed_Text(record.Account_Number, account);
    Set_Fixed_Text(record.Qualifier_Event, qualifier_event);
    Set_Fixed_Text(record.Group_Partition, "01");
    Set_Fixed_Text(record.Zone_User, "003");
    Set_Fixed_Text_Full(record.IP_Address, "192.168.100.200");
    record.Time_Received = time;
    record.Signal_Quality = 255;
    return record;
}

// Makes one kind of file operation fail on demand while in scope, and counts the operations.
class File_Faults
{
public:
    File_Faults()
    {
        Reset_Counts();
        Set_File_Fault_Hook(&Hook);
    }
    ~File_Faults()
    {
        Set_File_Fault_Hook(nullptr);
        Fail_Operation = -1;
        On_Operation = nullptr;
    }
    File_Faults(const File_Faults&) = delete;
    File_Faults& operator=(const File_Faults&) = delete;

    // The `skip`+1-th operation of this kind from now on fails with `error`, and every later one.
    void Fail(File_Operation operation, int error, int skip = 0)
    {
        Fail_Error = error;
        Skip = skip;
        Fail_Operation = static_cast<int>(operation);
    }
    static int Count(File_Operation operation) { return Counts[static_cast<int>(operation)]; }
    static void Reset_Counts()
    {
        for (auto& count : Counts)
            count = 0;
    }

    // Called by the hook, on whichever thread does the operation; a test may point it at a step
    // to run on every operation.
    static inline std::atomic<void (*)(File_Operation)> On_Operation = nullptr;

private:
    static int Hook(File_Operation operation)
    {
        ++Counts[static_cast<int>(operation)];
        if (const auto step = On_Operation.load())
            step(operation);
        if (Fail_Operation != static_cast<int>(operation))
            return 0;
        return Skip-- > 0 ? 0 : Fail_Error.load();
    }

    static inline std::atomic<int> Counts[8] = {};
    static inline std::atomic<int> Fail_Operation = -1;
    static inline std::atomic<int> Fail_Error = 0;
    static inline std::atomic<int> Skip = 0;
};
