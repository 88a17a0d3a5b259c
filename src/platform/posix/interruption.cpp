#include <signal.h>

#include "common/arret.hpp"
#include "platform/platform.hpp"

namespace {
// Only raises the flag: the workers stop at their next block and main removes the files.
void sur_signal(int numero) { demander_interruption(128 + numero); }
}

void installer_interruptions() {
    struct sigaction action{};
    action.sa_handler = sur_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A closed standard output (the reader of a pipe gone) would otherwise kill the run
    // with its files on disk: it ends the run like a closed terminal.
    for (const int numero : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(numero, &action, nullptr);
}
