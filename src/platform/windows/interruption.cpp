#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "common/stop.hpp"
#include "platform/interruption.hpp"
#include "platform/platform.hpp"

namespace {

// Windows ends the process once the handler of a close, logoff or shutdown returns, and
// 5 s after the event at the latest; the handler keeps it alive until main has removed the
// run's files, or until a little before that deadline.
constexpr ULONGLONG close_wait_ms = 4500;
constexpr DWORD cancel_interval_ms = 50;

HANDLE main_thread = nullptr;
// Set once the run's files are removed after a stop.
HANDLE files_removed = nullptr;

// Whether main's I/O may be cancelled: not while it removes the files (an open or a deletion
// cancelled there would leave a file behind), nor after.
SRWLOCK removal_lock = SRWLOCK_INIT;
bool removal_under_way = false;
bool removal_done = false;

// Main may be forcing a large file to the device, for longer than Windows waits; cancelled,
// the flush fails at once and main goes on to the removal. Main may also start a flush just
// after looking at the stop flag, so the cancellation is repeated until the removal starts.
void wait_for_removal() {
    const ULONGLONG deadline = GetTickCount64() + close_wait_ms;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        AcquireSRWLockExclusive(&removal_lock);
        if (!removal_under_way && !removal_done) CancelSynchronousIo(main_thread);
        ReleaseSRWLockExclusive(&removal_lock);
        const DWORD step =
            deadline - now < cancel_interval_ms ? static_cast<DWORD>(deadline - now) : cancel_interval_ms;
        const DWORD waited = WaitForSingleObject(files_removed, step);
        if (waited == WAIT_OBJECT_0) return;
        if (waited == WAIT_FAILED) Sleep(step);
    }
}

// Ctrl+C and Ctrl+Break only raise the flag: the workers stop at their next block and main
// removes the files.
BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: request_interruption(130); return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            request_interruption(129);
            wait_for_removal();
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

// Called by main: the handle it records is the thread whose I/O a close cancels.
void install_interruption_handlers() {
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &main_thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    files_removed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

void removal_starting() {
    AcquireSRWLockExclusive(&removal_lock);
    removal_under_way = true;
    ReleaseSRWLockExclusive(&removal_lock);
}

void removal_finished() {
    AcquireSRWLockExclusive(&removal_lock);
    removal_under_way = false;
    if (stop_requested.load()) {
        removal_done = true;
        if (files_removed != nullptr) SetEvent(files_removed);
    }
    ReleaseSRWLockExclusive(&removal_lock);
}
