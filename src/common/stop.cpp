#include "common/stop.hpp"

#include <cstdlib>
#include <mutex>

#include "cluster/cluster.hpp"
#include "platform/interruption.hpp"

std::atomic<bool> stop_requested{false};

namespace {
std::mutex error_lock;
std::string first_error;
std::atomic<int> requested_status{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the interruption handler needs lock-free atomics");
}  // namespace

void report_fatal_error(const std::string& message) {
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
refusal_hook installed_refusal_hook = nullptr;
}  // namespace

void install_end_hook(end_hook hook) { installed_end_hook = hook; }

void install_refusal_hook(refusal_hook hook) { installed_refusal_hook = hook; }

void end_process(int status, const std::string& message) {
    if (installed_refusal_hook != nullptr && status != 0) installed_refusal_hook(message);
    // The hook runs once: an error while it writes ends the process without it.
    const end_hook hook = installed_end_hook;
    installed_end_hook = nullptr;
    results_saving();
    const int final_status = hook != nullptr ? hook(status, message) : status;
    results_saved();
    cluster_end(final_status, message);
    std::exit(final_status);
}
