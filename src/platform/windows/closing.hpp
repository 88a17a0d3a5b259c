// The time left before Windows ends a process whose console is closing, for the other Windows
// bodies: a step that waits (a deletion tried again) must end within it.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Milliseconds the removal of the files may still take, keeping time for saving the results;
// MAXDWORD while no close, log-off or shutdown is under way.
DWORD closing_time_left_ms();
