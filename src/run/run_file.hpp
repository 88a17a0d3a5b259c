// Creating and opening the run's files, unbuffered with -direct. A failure records the fatal
// error `message`, followed by the file's name and the OS's reason.
#pragma once

#include <string>

#include "platform/file_io.hpp"

// How many names are drawn for one file before the run gives up: a name in use means another
// run or another program has a file there, which this run must neither touch nor remove.
inline constexpr int name_draws = 8;

// What a name already in use means to the caller of create_run_file. With `draw_again`,
// `name_taken` records nothing: the caller draws another name, or gives up with
// report_names_taken once it has drawn name_draws of them. With `fails_the_run`, a name in
// use is a failure like any other.
enum class name_in_use { fails_the_run, draw_again };

creation create_run_file(const std::string& name, const char* message, name_in_use taken, os_file& handle);

void report_names_taken(const std::string& last_name);

bool open_run_file(const std::string& name, const char* message, os_file& handle);
