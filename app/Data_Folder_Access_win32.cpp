#include "app/Data_Folder_Access.h"

// The user's local application data folder is already closed to other users by its inherited
// access list; nothing to tighten.
std::vector<std::string> Restrict_Data_Folder_Access(const std::string& /*folder*/)
{
    return {};
}
