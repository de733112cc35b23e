#include "store/Image_File.h"

#include "store/Data_File.h"

#include <cstring>

namespace {

void Create_Zeroed(const std::string& path, const void* zeroed_block, std::size_t size)
{
    Data_File file;
    if (file.Create(path) == 0)
        file.Write(zeroed_block, size);
}

} // namespace

std::string Load_Image_File(const std::string& path, void* block, std::size_t size)
{
    std::memset(block, 0, size);
    if (!File_Exists(path)) {
        Create_Zeroed(path, block, size);
        return {};
    }

    Data_File file;
    std::int64_t actual = 0;
    if (file.Open_Existing(path, File_Access::Read_Write) != 0 || file.Size(actual) != 0)
        return {};
    if (actual == static_cast<std::int64_t>(size)) {
        if (file.Read(block, size) != 0)
            std::memset(block, 0, size); // a half-read image would be worse than an empty one
        return {};
    }

    file.Close();
    Create_Zeroed(path, block, size);
    return "File " + path + " size (" + std::to_string(actual) + "->" + std::to_string(size)
        + ") error, new file created.";
}

bool Write_Image_Range(const std::string& path, std::int64_t offset, const void* data, std::size_t length)
{
    Data_File file;
    return file.Open_Existing(path, File_Access::Write_Only) == 0 && file.Seek(offset) == 0
        && file.Write(data, length) == 0;
}
