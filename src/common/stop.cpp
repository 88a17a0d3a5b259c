#include "common/stop.hpp"

#include <cstdlib>
#include <mutex>

#include "common/output.hpp"

std::atomic<bool> stop_requested{false};

namespace {
std::mutex error_lock;
std::string first_error;
std::atomic<int> requested_status{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the interruption handler needs lock-free atomics");
}  // namespace

void record_fatal_error(const std::string& message) {
    {
        std::lock_guard<std::mutex> guard(error_lock);
        if (first_error.empty()) first_error = message;
    }
    stop_requested.store(true);
}

std::string recorded_fatal_error() {
    std::lock_guard<std::mutex> guard(error_lock);
    return first_error;
}

void request_interruption(int exit_status) {
    int expected = 0;
    requested_status.compare_exchange_strong(expected, exit_status);
    stop_requested.store(true);
}

int interruption_status() { return requested_status.load(); }

namespace {
end_hook installed_end_hook = nullptr;
process_ending installed_ending;
refusal_hook installed_refusal_hook = nullptr;
}  // namespace

void install_end_hook(end_hook hook) { installed_end_hook = hook; }

void install_process_ending(const process_ending& ending) { installed_ending = ending; }

void install_refusal_hook(refusal_hook hook) { installed_refusal_hook = hook; }

void end_process(int status, const std::string& message) {
    if (installed_refusal_hook != nullptr && status != 0) installed_refusal_hook(message);
    // The hook runs once: an error while it writes ends the process without it.
    const end_hook hook = installed_end_hook;
    installed_end_hook = nullptr;
    if (installed_ending.saving != nullptr) installed_ending.saving();
    const int final_status = hook != nullptr ? hook(status, message) : status;
    if (installed_ending.saved != nullptr) installed_ending.saved();
    if (installed_ending.leave != nullptr) installed_ending.leave(final_status, message);
    std::exit(final_status);
}

void refuse_run(const std::string& message) {
    print_on_own_line(message);
    end_process(1, message);
}

void print_error(const std::string& message) { print_on_own_line(message); }
