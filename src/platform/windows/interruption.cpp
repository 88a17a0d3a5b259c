#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <cwchar>

#include "platform/interruption.hpp"

namespace {

// Windows ends the process once the handler of a close or a shutdown returns, and after the
// user's HungAppTimeout at the latest; the handler keeps it alive until main has removed the
// run's files and saved its results, or until a little before that deadline.
constexpr DWORD default_close_budget_ms = 5000;
constexpr DWORD close_margin_ms = 500;
constexpr DWORD cancel_interval_ms = 50;

interruption_request requested = nullptr;
HANDLE main_thread = nullptr;
// Set once main has saved the results, just before the process ends.
HANDLE ready_to_end = nullptr;
std::atomic<bool> closing{false};

// Whether main's I/O may be cancelled: not while it removes the files (an open or a deletion
// cancelled there would leave a file behind), nor after, nor while it saves the results.
SRWLOCK removal_lock = SRWLOCK_INIT;
bool removal_under_way = false;
bool removal_done = false;
bool saving = false;

// The time the system gives a closed console's processes: HungAppTimeout, in milliseconds,
// a string in the user's desktop settings.
DWORD close_budget_ms() {
    wchar_t text[32];
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"HungAppTimeout", RRF_RT_REG_SZ, nullptr, text,
                     &size) != ERROR_SUCCESS)
        return default_close_budget_ms;
    wchar_t* end = nullptr;
    const unsigned long budget = std::wcstoul(text, &end, 10);
    return end == text || budget <= close_margin_ms ? default_close_budget_ms : static_cast<DWORD>(budget);
}

// Main may be forcing the eviction file, for longer than Windows waits; cancelled, the
// call fails at once and main goes on to the removal. Main may also start a call just after
// looking at the stop flag, so the cancellation is repeated until the removal starts.
void wait_for_end() {
    const ULONGLONG deadline = GetTickCount64() + close_budget_ms() - close_margin_ms;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        AcquireSRWLockExclusive(&removal_lock);
        if (!removal_under_way && !removal_done && !saving) CancelSynchronousIo(main_thread);
        ReleaseSRWLockExclusive(&removal_lock);
        const DWORD step =
            deadline - now < cancel_interval_ms ? static_cast<DWORD>(deadline - now) : cancel_interval_ms;
        const DWORD waited = WaitForSingleObject(ready_to_end, step);
        if (waited == WAIT_OBJECT_0) return;
        if (waited == WAIT_FAILED) Sleep(step);
    }
}

// Ctrl+C and Ctrl+Break only raise the flag: the workers stop at their next block and main
// removes the files. A log-off does not say whose: a run started by a service or a scheduled
// task would end at any user's. It is taken as handled and changes nothing, since the default
// handler, the next one, would end the process.
BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: requested(130); return TRUE;
        case CTRL_LOGOFF_EVENT: return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            closing.store(true);
            requested(129);
            wait_for_end();
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

// Called by main: the handle it records is the thread whose I/O a close cancels.
void install_interruption_handlers(interruption_request on_request) {
    requested = on_request;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &main_thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    ready_to_end = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // A process started in a new process group inherits Ctrl+C ignored.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool process_closing() { return closing.load(); }

void removal_starting() {
    AcquireSRWLockExclusive(&removal_lock);
    removal_under_way = true;
    ReleaseSRWLockExclusive(&removal_lock);
}

void removal_finished(bool run_stopped) {
    AcquireSRWLockExclusive(&removal_lock);
    removal_under_way = false;
    if (run_stopped) removal_done = true;
    ReleaseSRWLockExclusive(&removal_lock);
}

void results_saving() {
    AcquireSRWLockExclusive(&removal_lock);
    saving = true;
    ReleaseSRWLockExclusive(&removal_lock);
}

void results_saved() {
    if (ready_to_end != nullptr) SetEvent(ready_to_end);
}
