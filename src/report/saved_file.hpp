// Writing a report file whole or not at all: the text goes to a new file in the same
// directory, which then takes the report's place in one step. A link is followed to the file
// it names, which is replaced; a stream (a FIFO, a terminal, /dev/stdout) is written through.
// The place is found and held before the run (can_save_file) and written at its end
// (save_file) without being looked up again.
#pragma once

#include <functional>
#include <string>

#include "platform/report_target.hpp"

// True when `name` can be saved as save_file will; checked before the run starts. Fills
// `target`, which holds the place open until the save and whose identity tells two names of
// one file.
bool can_save_file(const std::string& name, report_target& target, std::string& reason);

// Saves `text` in the place `target` holds. A stream that waits for its reader gives up once
// `interrupted` says so.
bool save_file(report_target& target, const std::string& text, const std::function<bool()>& interrupted,
               std::string& reason);
