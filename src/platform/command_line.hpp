// The program's arguments and environment, in UTF-8 whatever the system's code page.
#pragma once

#include <string>

// Case-insensitive comparison of two option names; 0 when equal.
int compare_ignoring_case(const char* a, const char* b);

// Replaces argv by the command line's arguments in UTF-8, whatever the system's code page.
void use_utf8_arguments(int& argc, char**& argv);

// The environment variable `name` in UTF-8; false when it is not set.
bool environment_variable(const char* name, std::string& value);
