#pragma once

#include "receiver/DC09_Frame.h"

// Reads what follows the event data, from `from` up to `end` or a carriage return: every [ block
// up to the next underscore is appended to the extended data (64 characters kept), and the first
// valid time stamp "_HH:MM:SS,MM-DD-YYYY" sets the message time and ends the scan.
void DC09_Scan_Trailer(DC09_Frame& frame, const char* from, const char* end);
