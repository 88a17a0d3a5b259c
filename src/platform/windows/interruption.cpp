#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "common/stop.hpp"
#include "platform/platform.hpp"

namespace {

// Windows ends the process once the handler of a close, logoff or shutdown returns (or
// after about five seconds); holding on that long gives main the time to remove the run's
// files, and main's exit ends the wait early.
constexpr int close_wait_steps = 50;
constexpr DWORD wait_step_ms = 100;

// Only raises the flag: the workers stop at their next block and main removes the files.
BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: request_interruption(130); return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            request_interruption(129);
            for (int waiting = 0; waiting < close_wait_steps; ++waiting) Sleep(wait_step_ms);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void install_interruption_handlers() { SetConsoleCtrlHandler(on_console_event, TRUE); }
