// Windows' real version, whatever the program's manifest claims to support.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// False where ntdll does not answer.
bool real_windows_version(OSVERSIONINFOW& version);
