#pragma once

#include "receiver/DC09_Reply.h"

// The sources in force: those set by DC09_Set_Reply_Sources, defaults where none was set.
DC09_Reply_Sources DC09_Current_Reply_Sources();
