// Writing a report file whole or not at all: the text goes to a new file in the same
// directory, which then takes the report's place in one step. A link is followed to the file
// it names, which is replaced; a stream (a FIFO, a terminal, /dev/stdout) is written through.
#pragma once

#include <string>

#include "platform/report_target.hpp"

bool save_file(const std::string& name, const std::string& text, std::string& reason);

// True when `name` can be saved as save_file will; checked before the run starts. Fills
// `target`, whose identity tells two names of one file.
bool can_save_file(const std::string& name, report_target& target, std::string& reason);
