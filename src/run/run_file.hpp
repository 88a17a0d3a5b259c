// Creating and opening the run's files, unbuffered with -direct. A failure records in `run`
// the fatal error `message`, followed by the file's name and the OS's reason.
#pragma once

#include <functional>
#include <string>

#include "platform/file_io.hpp"
#include "run/run_state.hpp"

// How many names are drawn for one file before the run gives up: a name in use means another
// run or another program has a file there, which this run must neither touch nor remove.
inline constexpr int name_draws = 8;

// Creates a file under a name `draw_name` draws, drawing again while the name is in use, up to
// name_draws names; `name` is the last drawn. `name_taken` when every one was in use, with the
// OS's `reason` of the last.
creation create_under_drawn_name(const std::function<std::string()>& draw_name, file_caching caching, std::string& name,
                                 os_file& handle, std::string& reason);

// A name in use is a failure like any other.
bool create_run_file(run_state& run, const std::string& name, const char* message, os_file& handle);

// The same under a name drawn by `draw_name`; once name_draws names were in use, the failure
// says so.
bool create_run_file_drawn(run_state& run, const std::function<std::string()>& draw_name, const char* message, std::string& name,
                           os_file& handle);

bool open_run_file(run_state& run, const std::string& name, const char* message, os_file& handle);
