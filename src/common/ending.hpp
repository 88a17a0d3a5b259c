// The two ways of meeting an error that do not go through a run's stop: a run refused before
// any file exists returns its refusal to main, which says it and ends the process; an error
// the run goes on after is printed with print_error. (A fatal error met during the run is
// recorded in the run's state and stops it at its next step: run/run_state.hpp.)
#pragma once

#include <string>

// A run refused before any file exists: the message it ends with, empty for none, and a note
// said after it, empty for none.
struct run_refusal {
    std::string message;
    std::string note;
};

// Prints `message` on a line of its own; the run goes on.
void print_error(const std::string& message);
