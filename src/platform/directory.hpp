// The directory under test as the OS names it.
#pragma once

#include <string>

// The character every directory path is made to end with.
char directory_separator();

// `path_name` as the OS resolves it, before any other use: on Windows a drive letter alone
// ("D:") is the current directory on that drive, and `.` and `..` are resolved, so that the
// directory checked is the one written to; elsewhere unchanged. Empty when the OS's answer can't
// be carried unchanged in UTF-8 (an unpaired surrogate from the current directory).
std::string resolved_directory(const std::string& path_name);

// True when `path_name` names a directory that can be opened.
bool is_existing_directory(const std::string& path_name);
