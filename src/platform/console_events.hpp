// How a console process meets Windows' control events, decided from what the system answered:
// the response to each event, the time the system leaves before it ends the process, and the
// status it ends with. Plain decisions, so that they run and are tested on any system; the
// Windows handler (windows/interruption.cpp) gathers the answers and acts on them.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

enum class console_event { ctrl_c, ctrl_break, close, logoff, shutdown, other };

// What the handler does: raise the stop and return at once; stop the run, remove its files and
// save its results before the system's deadline, then end the process; go on as if nothing had
// happened; or leave the event to the next handler.
enum class event_action { interrupt, end_before_deadline, keep_running, pass_on };

// The registry values that bound the time the system gives a process to end.
enum class time_budget { hung_app, wait_to_kill_app, wait_to_kill_service };

struct event_response {
    event_action action = event_action::pass_on;
    int exit_status = 0;  // for interrupt and end_before_deadline
    time_budget budget = time_budget::hung_app;  // for end_before_deadline
};

// The Windows session the process runs in (ProcessIdToSessionId); nothing when it can't be read.
using session_answer = std::optional<std::uint32_t>;

// Session 0 holds services and tasks run as SYSTEM, whose logon never ends with a user's;
// elsewhere the event does not say whose log-off it is, and without user32 (whose loading stops
// these events) nothing tells, so the run goes on: another user's log-off never aborts it.
event_response respond_to(console_event event, const session_answer& session);

// The milliseconds the system waits for a process, from a registry value as read (a decimal
// string, or a DWORD written out in decimal; nothing when absent), or the documented default:
// HungAppTimeout 5000, WaitToKillAppTimeout and WaitToKillServiceTimeout 20000.
std::uint32_t budget_ms(time_budget budget, const std::optional<std::string>& registry_value);

// Of a budget, the part the process may use: a margin is kept for the system's own timing.
std::uint32_t usable_ms(std::uint32_t budget);

// The status the process ends with once its console is closing. Main, having saved the results,
// and the handler, when main has saved or the deadline comes, both ask; the first to ask
// decides, so that whichever ends the process, it ends with the same status.
struct closing_end {
    std::atomic<int> decided_status{-1};
};

// Main, once the results are saved with `status`: the status to end with now when the process
// is closing, or -1 when it is not and main ends the process as usual.
int status_after_saving(closing_end& end, int status, bool closing);

// The handler, when main has saved or the deadline has come: the status to end the process with.
int status_at_deadline(closing_end& end, int interruption_status);
