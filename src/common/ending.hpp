// How the process ends once the settings are read, and the two ways of meeting an error that
// do not go through a run: a run refused before any file exists ends at once with refuse_run;
// an error the run goes on after is printed with print_error. (A fatal error met during the
// run is recorded in the run's state and stops it at its next step: run/run_state.hpp.)
#pragma once

#include <functional>
#include <string>

// Records how the run ended (`message` is its error, empty when there is none) and returns
// the status to exit with: the results file that can't be written turns success into failure.
using end_hook = std::function<int(int status, const std::string& message)>;

// Installed once the run's reports are known to be writable.
void install_end_hook(end_hook hook);

// What else the process does as it ends: `saving` and `saved` bracket the end hook (`saved` is
// given the final status, and may end the process with it), `leave` ends this rank's part of
// the job with the final status. Main installs them; without them the process just exits.
struct process_ending {
    void (*saving)() = nullptr;
    void (*saved)(int status) = nullptr;
    std::function<void(int status, const std::string& message)> leave;
};
void install_process_ending(const process_ending& ending);

// quorlane-mpi, until the ranks have agreed that the run may start: this rank's end is a
// refusal that `hook` takes to every other rank, so that they all end with it. Null removes it.
using refusal_hook = std::function<void(const std::string& message)>;
void install_refusal_hook(refusal_hook hook);

// Every end of the process after the settings are read comes here. `said_after_saving` is
// printed on a line of its own once the results are saved: when the console is going away,
// the results come first.
[[noreturn]] void end_process(int status, const std::string& message, const std::string& said_after_saving = "");

// Prints `message` on a line of its own and ends the process with status 1.
[[noreturn]] void refuse_run(const std::string& message);

// A run refused before any file exists: the message it ends with, empty for none, and a note
// said after it, empty for none.
struct run_refusal {
    std::string message;
    std::string note;
};

// Prints the refusal and its note, each on a line of its own, and ends the process with status 1.
[[noreturn]] void refuse_run(const run_refusal& refusal);

// Prints `message` on a line of its own; the run goes on.
void print_error(const std::string& message);
