#pragma once

#include <string>
#include <vector>

// The data folder holds the receiver's key, its events and its logs: it is the owner's alone
// (0700, every file in it 0600). A folder or file there that group or others may read, left by an
// older version or made by hand, is closed to them; each such name is returned as a line to log
// once, at start. A folder of another name (the executable's own folder, the fall-back when the
// system names no data folder) is left as it is. One implementation per OS
// (Data_Folder_Access_posix.cpp, Data_Folder_Access_win32.cpp).
std::vector<std::string> Restrict_Data_Folder_Access(const std::string& folder);
