// Termination requests: Ctrl+C, signals, a closed console, routed to the run's stop flag.
#pragma once

// Routes Ctrl+C and the other termination requests to `request_interruption`.
void install_interruption_handlers();

// Bracket main's removal of the run's files. After a close of the console, the I/O that main
// has under way is cancelled so that it reaches the removal in time, but never during it;
// once removal_finished follows a stop, the process may end.
void removal_starting();
void removal_finished();
