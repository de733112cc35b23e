#include "app/Service_Notify.h"

bool Notify_Service_Manager(std::string_view /*state*/)
{
    return false;
}
