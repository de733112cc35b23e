#include "store/Image_Writer.h"

void Image_Writer::Set_Path(std::string file_path)
{
    file.Close();
    path = std::move(file_path);
}

int Image_Writer::Write(std::int64_t offset, const void* data, std::size_t length)
{
    if (!file.Is_Open()) {
        if (const int error = file.Open_Existing(path, File_Access::Write_Only))
            return error;
    }
    const int error = file.Write_At(offset, data, length);
    if (error != 0)
        file.Close();
    return error;
}

bool Image_Writer::Drop_If_Replaced()
{
    if (!file.Is_Open() || file.Is_File_At(path))
        return false;
    file.Close();
    return true;
}
