// Termination requests: Ctrl+C, signals, a closed console, routed to the run's stop flag.
#pragma once

// Routes Ctrl+C and the other termination requests to `on_request`, with the exit status each
// asks for; it is called from a signal handler, so it may only store into lock-free atomics.
using interruption_request = void (*)(int exit_status);
void install_interruption_handlers(interruption_request on_request);

// True once the console is closed or the system shuts down: the process has seconds left,
// so main waits no longer for anything slow (the workers, the flush, an eviction step), removes
// the files and saves the results. Once it is true, the stop's interruption status is set.
bool process_closing();

// Bracket main's removal of the run's files. After a close of the console, the I/O that main
// has under way is cancelled so that it reaches the removal in time, but never during it.
// `run_stopped` tells that the run stopped early: then nothing of main's is cancelled afterwards.
void removal_starting();
void removal_finished(bool run_stopped);

// Bracket the saving of the results as the process ends: nothing of main's is cancelled from
// the first. The second, given the status the process ends with, ends it at once when it is
// closing, with the status decided once between main and the handler; otherwise it returns.
void results_saving();
void results_saved(int status);
