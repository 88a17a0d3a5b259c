// The program's arguments and environment, in UTF-8 whatever the system's code page.
#pragma once

#include <string>

// Case-insensitive comparison of two option names; 0 when equal.
int compare_ignoring_case(const char* a, const char* b);

// Replaces argv by the command line's arguments in UTF-8, whatever the system's code page.
void use_utf8_arguments(int& argc, char**& argv);

// False when argument `index` could not be carried unchanged into UTF-8 (on Windows, a name
// holding an unpaired surrogate, which NTFS allows): argv then holds a look-alike, fit to be
// shown, never to name a file.
bool argument_carried_exactly(int index);

// The environment variable `name` in UTF-8; false when it is not set.
bool environment_variable(const char* name, std::string& value);
