// Writing a report file whole or not at all: the text goes to a new file beside it, which
// then takes the report's name in one step.
#pragma once

#include <string>

bool save_file(const std::string& name, const std::string& text, std::string& reason);

// True when a file can be created where `name` will be saved; checked before the run starts.
bool can_save_file(const std::string& name, std::string& reason);
