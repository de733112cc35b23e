#pragma once

#include <QString>

#include <string_view>

// The names of the standard event codes, for the "Event" column: Contact ID's three-digit codes
// and SIA's two-letter codes. An unknown code has no name (an empty view).
std::string_view Contact_Id_Event_Name(std::string_view code);
std::string_view Sia_Event_Name(std::string_view code);

// The name of the code a stored Qualifier_Event field holds, whatever its qualifier: "Link test"
// for "NULL".
std::string_view Code_Name(std::string_view qualifier_event);

// What the operator reads for a stored Qualifier_Event field: "Link test" for "NULL"; for
// Contact ID the code's name, with "restore" after it (qualifier 3) or "previously reported"
// (qualifier 6), an open/close code read as the opening or the closing it is; for SIA-DCS the
// code's name. Empty for a code without a name.
QString Event_Name(std::string_view qualifier_event);
