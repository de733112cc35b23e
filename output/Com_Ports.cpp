#include "output/Com_Ports.h"

#include "base/Settings_File.h"

Com_Port_List Choose_Com_Port(std::vector<std::string> available, Settings_Record& settings)
{
    Com_Port_List list {std::move(available), 0};
    if (Com_Port_Name(settings).empty() && !list.Names.empty())
        Set_Com_Port_Name(settings, list.Names.front());

    // The first entry with the chosen name, or one past the last entry.
    const std::string chosen = Com_Port_Name(settings);
    while (static_cast<std::size_t>(list.Selected) < list.Names.size()
        && list.Names[static_cast<std::size_t>(list.Selected)] != chosen)
        ++list.Selected;
    return list;
}

Com_Port_List Rebuild_Com_Port_List(Settings_Record& settings, const Com_Port_Search& search)
{
    return Choose_Com_Port(Available_Com_Ports(search), settings);
}
