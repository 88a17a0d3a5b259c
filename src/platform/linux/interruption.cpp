#include <signal.h>

#include <initializer_list>

#include "platform/interruption.hpp"

namespace {
interruption_request requested = nullptr;

// Only raises the flag: the workers stop at their next block and main removes the files.
void on_signal(int signal_number) { requested(128 + signal_number); }
}  // namespace

void install_interruption_handlers(interruption_request on_request) {
    requested = on_request;
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // Every signal whose default ends the process without a fault of its own would leave the
    // run's files on disk. A closed standard output (the reader of a pipe gone) ends the run
    // like a closed terminal. SIGPROF and SIGTRAP are left to profilers and debuggers; the
    // manual (docs/manual.md) lists this set.
    for (const int signal_number :
         {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGXCPU, SIGPOLL})
        sigaction(signal_number, &action, nullptr);
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number)
        sigaction(signal_number, &action, nullptr);
    // A file-size limit (ulimit -f) would kill the run at its first write beyond it; ignored,
    // that write fails with its reason through the usual write error.
    signal(SIGXFSZ, SIG_IGN);
}

// A signal handler returns at once and nothing ends the process behind main's back.
bool process_closing() { return false; }

void removal_starting() {}
void removal_finished(bool) {}

void results_saving() {}
void results_saved(int) {}
