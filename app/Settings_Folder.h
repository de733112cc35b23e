#pragma once

#include <string>

// The folder that holds every data and log file, ending in a separator: the user's local
// application data folder followed by "Varnek SIA-IP Receiver/", or the executable's own folder
// when the system cannot name that folder. The folder itself is not created here.
std::string Locate_Settings_Folder();

// Creates the folder (one level) when it does not exist; false when that fails.
bool Ensure_Settings_Folder(const std::string& folder);

inline constexpr const char* Settings_Folder_Name = "Varnek SIA-IP Receiver";
