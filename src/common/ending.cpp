#include "common/ending.hpp"

#include <cstdlib>

#include "common/output.hpp"

namespace {
end_hook installed_end_hook;
process_ending installed_ending;
refusal_hook installed_refusal_hook;
}  // namespace

void install_end_hook(end_hook hook) { installed_end_hook = std::move(hook); }

void install_process_ending(const process_ending& ending) { installed_ending = ending; }

void install_refusal_hook(refusal_hook hook) { installed_refusal_hook = std::move(hook); }

void end_process(int status, const std::string& message, const std::string& said_after_saving) {
    if (installed_refusal_hook && status != 0) {
        // The hook ends the process itself or removes itself; it is not called again meanwhile.
        const refusal_hook hook = installed_refusal_hook;
        hook(message);
    }
    // The hook runs once: an error while it writes ends the process without it.
    const end_hook hook = std::move(installed_end_hook);
    installed_end_hook = nullptr;
    if (installed_ending.saving != nullptr) installed_ending.saving();
    const int final_status = hook ? hook(status, message) : status;
    if (!said_after_saving.empty()) print_on_own_line(said_after_saving);
    if (installed_ending.saved != nullptr) installed_ending.saved(final_status);
    if (installed_ending.leave) installed_ending.leave(final_status, message);
    std::exit(final_status);
}

void refuse_run(const std::string& message) {
    print_on_own_line(message);
    end_process(1, message);
}

void refuse_run(const run_refusal& refusal) {
    print_on_own_line(refusal.message);
    if (!refusal.note.empty()) print_on_own_line(refusal.note);
    end_process(1, refusal.message);
}

void print_error(const std::string& message) { print_on_own_line(message); }
