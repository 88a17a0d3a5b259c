#include <signal.h>

#include "common/stop.hpp"
#include "platform/platform.hpp"

namespace {
// Only raises the flag: the workers stop at their next block and main removes the files.
void on_signal(int signal_number) { request_interruption(128 + signal_number); }
}

void install_interruption_handlers() {
    struct sigaction action{};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A closed standard output (the reader of a pipe gone) would otherwise kill the run
    // with its files on disk: it ends the run like a closed terminal.
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(signal_number, &action, nullptr);
}

// A signal handler returns at once and nothing ends the process behind main's back.
void removal_starting() {}
void removal_finished() {}
