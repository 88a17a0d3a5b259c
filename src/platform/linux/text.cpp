// POSIX hands text over as bytes: the program's UTF-8 goes in and out unchanged.
#include <cstdlib>

#include "platform/platform.hpp"

void use_utf8_arguments(int&, char**&) {}

// strerror's text covers every errno value.
void describe_unknown_errors_with(const char*) {}

bool environment_variable(const char* name, std::string& value) {
    const char* found = std::getenv(name);
    if (found == nullptr) return false;
    value = found;
    return true;
}

console_write write_to_console(const std::string&, std::string&) { return console_write::not_a_console; }
