// Creating and opening the run's files, unbuffered with -direct, by their name in the tested
// directory, which the run opens once (run.directory): a path swapped for a link meanwhile
// changes nothing. A failure records in `run` the fatal error `message`, followed by the file's
// path and the OS's reason.
#pragma once

#include <functional>
#include <string>

#include "platform/file_io.hpp"
#include "run/run_state.hpp"

// How many names are drawn for one file before the run gives up: a name in use means another
// run or another program has a file there, which this run must neither touch nor remove.
inline constexpr int name_draws = 8;

// Opens the tested directory into run.directory, before any file of the run exists; false
// when it can't be opened, which refuses the run.
bool open_run_directory(run_state& run);

// Creates `name` in the directory. A name in use is an error of its own, which names the file:
// someone else's file there is neither touched nor removed. Fills the new file's `identity`.
bool create_run_file(run_state& run, const std::string& name, const char* message, os_file& handle,
                     file_identity& identity);

// The same under a name `draw_name` draws, drawing again while the name is in use, up to
// name_draws names; `name` is the last drawn. Once name_draws names were in use, the failure
// says so.
bool create_run_file_drawn(run_state& run, const std::function<std::string()>& draw_name, const char* message,
                           std::string& name, os_file& handle, file_identity& identity);

// Opens the file `entry` names for reading. A name that no longer holds the file the run
// created there (a link, a FIFO, another file) is an error that says so; nothing is read from it.
bool open_run_file(run_state& run, const directory_entry& entry, const char* message, os_file& handle);
