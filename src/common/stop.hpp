// How a run stops early: a worker's fatal error or an interruption raises `stop_requested`;
// workers look at it before every block and return, and main cleans up after joining them.
#pragma once

#include <atomic>
#include <string>

extern std::atomic<bool> stop_requested;

// The three ways of meeting an error. A run that can't go on records it with
// record_fatal_error and stops at its next step; the driver then removes the files and prints
// the first one (later errors are consequences). A run refused before any file exists ends at
// once with refuse_run. An error the run goes on after is printed with print_error.

// Records the first fatal error of the run and raises the flag.
void record_fatal_error(const std::string& message);

// The recorded message, empty when the stop is an interruption.
std::string recorded_fatal_error();

// Async-signal-safe: only stores the exit status and raises the flag.
void request_interruption(int exit_status);

// Exit status asked for by an interruption, 0 when none arrived.
int interruption_status();

// Records how the run ended (`message` is its error, empty when there is none) and returns
// the status to exit with: the results file that can't be written turns success into failure.
using end_hook = int (*)(int status, const std::string& message);

// Installed once the run's reports are known to be writable.
void install_end_hook(end_hook hook);

// What else the process does as it ends: `saving` and `saved` bracket the end hook, `leave`
// ends this rank's part of the job with the final status. Main installs them; without them
// the process just exits.
struct process_ending {
    void (*saving)() = nullptr;
    void (*saved)() = nullptr;
    void (*leave)(int status, const std::string& message) = nullptr;
};
void install_process_ending(const process_ending& ending);

// quorlane-mpi, until the ranks have agreed that the run may start: this rank's end is a
// refusal that `hook` takes to every other rank, so that they all end with it. Null removes it.
using refusal_hook = void (*)(const std::string& message);
void install_refusal_hook(refusal_hook hook);

// Every end of the process after the settings are read comes here.
[[noreturn]] void end_process(int status, const std::string& message);

// Prints `message` on a line of its own and ends the process with status 1.
[[noreturn]] void refuse_run(const std::string& message);

// Prints `message` on a line of its own; the run goes on.
void print_error(const std::string& message);
