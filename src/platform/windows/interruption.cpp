#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>

#include "platform/console_events.hpp"
#include "platform/interruption.hpp"
#include "platform/windows/closing.hpp"
#include "platform/windows/text.hpp"

namespace {

constexpr DWORD cancel_interval_ms = 50;
// Of the time left while closing, what the saving of the results keeps for itself.
constexpr DWORD saving_reserve_ms = 1000;

interruption_request requested = nullptr;
HANDLE main_thread = nullptr;
// Set once main has saved the results, just before the process ends.
HANDLE ready_to_end = nullptr;
std::atomic<bool> closing{false};
std::atomic<ULONGLONG> closing_deadline{0};
closing_end end_of_close;

// Read when the handlers are installed: at a log-off the user's registry hive goes away.
session_answer session;
std::uint32_t budgets_ms[3] = {};

// Whether main's I/O may be cancelled: not while it removes the files (an open or a deletion
// cancelled there would leave a file behind), nor after, nor while it saves the results.
SRWLOCK removal_lock = SRWLOCK_INIT;
bool removal_under_way = false;
bool removal_done = false;
bool saving = false;

// A registry value as the system keeps it, a string or a DWORD, in decimal; nothing when absent.
std::optional<std::string> registry_text(HKEY root, const wchar_t* key, const wchar_t* name) {
    wchar_t text[32];
    DWORD size = sizeof text;
    DWORD type = 0;
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, text, &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type == REG_DWORD) {
        DWORD value = 0;
        static_assert(sizeof value <= sizeof text);
        std::memcpy(&value, text, sizeof value);
        return std::to_string(value);
    }
    return utf8_text(text);
}

void read_budgets() {
    const wchar_t* const desktop = L"Control Panel\\Desktop";
    budgets_ms[static_cast<int>(time_budget::hung_app)] =
        budget_ms(time_budget::hung_app, registry_text(HKEY_CURRENT_USER, desktop, L"HungAppTimeout"));
    budgets_ms[static_cast<int>(time_budget::wait_to_kill_app)] =
        budget_ms(time_budget::wait_to_kill_app, registry_text(HKEY_CURRENT_USER, desktop, L"WaitToKillAppTimeout"));
    budgets_ms[static_cast<int>(time_budget::wait_to_kill_service)] = budget_ms(
        time_budget::wait_to_kill_service,
        registry_text(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control", L"WaitToKillServiceTimeout"));
    DWORD id = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &id)) session = id;
}

console_event event_of(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT: return console_event::ctrl_c;
        case CTRL_BREAK_EVENT: return console_event::ctrl_break;
        case CTRL_CLOSE_EVENT: return console_event::close;
        case CTRL_LOGOFF_EVENT: return console_event::logoff;
        case CTRL_SHUTDOWN_EVENT: return console_event::shutdown;
        default: return console_event::other;
    }
}

// Main may be in a call that takes longer than Windows waits (a console that takes no output);
// cancelled, the call fails at once and main goes on to the removal. Main may also start a call
// just after looking at the stop flag, so the cancellation is repeated until the removal starts.
void wait_for_end(ULONGLONG deadline) {
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
// removes the files. A close or a shutdown gives the process seconds: main stops waiting for
// anything slow, removes the files and saves the results, and the process ends with the status
// decided once, whichever of main and this handler gets there, so that no return from here lets
// the system end it with a status of its own.
BOOL WINAPI on_console_event(DWORD event) {
    const event_response response = respond_to(event_of(event), session);
    switch (response.action) {
        case event_action::interrupt: requested(response.exit_status); return TRUE;
        case event_action::keep_running: return TRUE;
        case event_action::pass_on: return FALSE;
        case event_action::end_before_deadline: break;
    }
    requested(response.exit_status);
    if (!closing.load()) {
        closing_deadline.store(GetTickCount64() + usable_ms(budgets_ms[static_cast<int>(response.budget)]));
        closing.store(true);
    }
    wait_for_end(closing_deadline.load());
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status_at_deadline(end_of_close, response.exit_status)));
    return TRUE;
}

}  // namespace

DWORD closing_time_left_ms() {
    if (!closing.load()) return MAXDWORD;
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG deadline = closing_deadline.load();
    return now + saving_reserve_ms >= deadline ? 0 : static_cast<DWORD>(deadline - saving_reserve_ms - now);
}

// Called by main: the handle it records is the thread whose I/O a close cancels.
void install_interruption_handlers(interruption_request on_request) {
    requested = on_request;
    read_budgets();
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

// Past this point nothing of the process's may run once it is closing: threads left behind may
// still use what the C++ runtime would destroy on the way out.
void results_saved(int status) {
    const int end_with = status_after_saving(end_of_close, status, closing.load());
    if (ready_to_end != nullptr) SetEvent(ready_to_end);
    if (end_with >= 0) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(end_with));
}
