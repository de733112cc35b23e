#pragma once

#include "store/Data_File.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Writes records of one data file at their offsets through a handle kept open between writes, so
// that a record costs one system call instead of an open, a seek, a write and a close. The file is
// never created here: a missing file is a failed write, as it is when the file is opened per write.
class Image_Writer
{
public:
    explicit Image_Writer(std::string file_path = {})
        : path(std::move(file_path))
    { }

    void Set_Path(std::string file_path);
    const std::string& Path() const { return path; }

    // 0, or the system's error code; a failure closes the handle so the next write opens afresh.
    int Write(std::int64_t offset, const void* data, std::size_t length);

    // Closes the handle when the path no longer names the open file (removed, renamed or
    // replaced): writes must go to the file that is read at the next start, or fail visibly.
    // True when the handle had to be dropped.
    bool Drop_If_Replaced();

    void Close() { file.Close(); }

private:
    std::string path;
    Data_File file;
};
