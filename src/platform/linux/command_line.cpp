// Linux hands the command line and the environment over as bytes: the program's UTF-8 comes in
// unchanged.
#include <strings.h>

#include <cstdlib>

#include "platform/command_line.hpp"

void use_utf8_arguments(int&, char**&) {}

bool argument_carried_exactly(int) { return true; }

bool environment_variable(const char* name, std::string& value) {
    const char* found = std::getenv(name);
    if (found == nullptr) return false;
    value = found;
    return true;
}

int compare_ignoring_case(const char* a, const char* b) { return strcasecmp(a, b); }
