#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "common/arret.hpp"
#include "platform/platform.hpp"

namespace {

// Windows ends the process once the handler of a close, logoff or shutdown returns (or
// after about five seconds); holding on that long gives main the time to remove the run's
// files, and main's exit ends the wait early.
constexpr int attentes_fermeture = 50;
constexpr DWORD duree_attente_ms = 100;

// Only raises the flag: the workers stop at their next block and main removes the files.
BOOL WINAPI sur_evenement_console(DWORD evenement) {
    switch (evenement) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            demander_interruption(130);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            demander_interruption(129);
            for (int attente = 0; attente < attentes_fermeture; ++attente) Sleep(duree_attente_ms);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void installer_interruptions() { SetConsoleCtrlHandler(sur_evenement_console, TRUE); }
