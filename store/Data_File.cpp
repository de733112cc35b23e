#include "store/Data_File.h"

#include "store/Data_File_Os.h"

#include <filesystem>
#include <utility>

Data_File::~Data_File()
{
    Close();
}

Data_File::Data_File(Data_File&& other) noexcept
    : handle(std::exchange(other.handle, No_Handle))
{ }

Data_File& Data_File::operator=(Data_File&& other) noexcept
{
    if (this != &other) {
        Close();
        handle = std::exchange(other.handle, No_Handle);
    }
    return *this;
}

int Data_File::Open_Existing(const std::string& path, File_Access access)
{
    Close();
    if (const int fault = Injected_File_Fault(File_Operation::Open))
        return fault;
    return data_file_os::Open_Existing(path, access, handle);
}

int Data_File::Create(const std::string& path)
{
    Close();
    if (const int fault = Injected_File_Fault(File_Operation::Create))
        return fault;
    return data_file_os::Create(path, handle);
}

int Data_File::Size(std::int64_t& size)
{
    if (const int fault = Injected_File_Fault(File_Operation::Size))
        return fault;
    if (const int error = data_file_os::Seek(handle, 0, true, size))
        return error;
    std::int64_t start = 0;
    return data_file_os::Seek(handle, 0, false, start);
}

int Data_File::Seek(std::int64_t offset)
{
    if (const int fault = Injected_File_Fault(File_Operation::Seek))
        return fault;
    std::int64_t position = 0;
    return data_file_os::Seek(handle, offset, false, position);
}

int Data_File::Read(void* buffer, std::size_t length)
{
    if (const int fault = Injected_File_Fault(File_Operation::Read))
        return fault;
    return data_file_os::Read(handle, buffer, length);
}

int Data_File::Write(const void* buffer, std::size_t length)
{
    if (const int fault = Injected_File_Fault(File_Operation::Write))
        return fault;
    return data_file_os::Write(handle, buffer, length);
}

int Data_File::Write_At(std::int64_t offset, const void* buffer, std::size_t length)
{
    if (const int fault = Injected_File_Fault(File_Operation::Write))
        return fault;
    return data_file_os::Write_At(handle, offset, buffer, length);
}

bool Data_File::Is_File_At(const std::string& path) const
{
    return handle != No_Handle && data_file_os::Is_File_At(handle, path);
}

int Data_File::Close()
{
    if (handle == No_Handle)
        return 0;
    return data_file_os::Close(std::exchange(handle, No_Handle));
}

bool File_Exists(const std::string& path)
{
    std::error_code error;
    const std::u8string utf8(path.begin(), path.end());
    return std::filesystem::exists(std::filesystem::path(utf8), error);
}
