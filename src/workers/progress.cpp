#include "workers/progress.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <system_error>

#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "common/units.hpp"

namespace {

std::string time_left_text(std::int64_t left_us) {
    const auto seconds = static_cast<unsigned long long>((left_us + one_second_us - 1) / one_second_us);
    if (seconds < 60) return format_text(messages::seconds_left, seconds);
    if (seconds < 3600) return format_text(messages::minutes_left, (seconds + 59) / 60);
    return format_text(messages::hours_left, seconds / 3600, seconds % 3600 / 60);
}

void print_until_stopped(progress_printer& printer, const phase_state& phase, const char* label) {
    progress_state state;
    std::unique_lock<std::mutex> lock(printer.lock);
    for (;;) {
        const std::int64_t next_second = (now_us() / one_second_us + 1) * one_second_us;
        const auto due = std::chrono::steady_clock::time_point(std::chrono::microseconds(next_second));
        if (printer.stop_asked.wait_until(lock, due, [&printer] { return printer.stopping; })) return;
        // Printing may block as long as the console takes no output: the lock is not held
        // meanwhile, so that asking to stop never waits on it.
        lock.unlock();
        const std::size_t printed = progress_tick(state, phase, label, now_us());
        lock.lock();
        printer.longest_line = std::max(printer.longest_line, printed);
    }
}
}  // namespace

void progress_file_started(phase_state& phase, std::int64_t at) {
    phase.worker_0_file_start.store(at, std::memory_order_relaxed);
}

void progress_files_ended(phase_state& phase) { phase.worker_0_file_start.store(0, std::memory_order_relaxed); }

std::string phase_outlook(const phase_state& phase, std::int64_t now) {
    const std::int64_t elapsed = std::max<std::int64_t>(elapsed_us(phase.start_us, now), 1);
    const std::uint64_t moved = phase.bytes_moved.load(std::memory_order_relaxed);
    const double byte_share = phase.expected_bytes == 0 ? 0 : static_cast<double>(moved) / phase.expected_bytes;
    double share = byte_share;
    std::int64_t left_us = byte_share > 0 ? static_cast<std::int64_t>(elapsed * (1 - byte_share) / byte_share) : -1;
    if (phase.deadline_us != 0) {
        const std::int64_t limit = phase.deadline_us - phase.start_us;
        share = std::max(share, static_cast<double>(elapsed) / limit);
        // Past the deadline the workers end the calls under way, which a slow device may take
        // long over: no time is left to count down.
        if (now >= phase.deadline_us) return format_text(messages::share_done, 100u) + messages::finishing_in_flight;
        const std::int64_t to_deadline = phase.deadline_us - now;
        left_us = left_us < 0 ? to_deadline : std::min(left_us, to_deadline);
    }
    const auto percent = static_cast<unsigned>(std::min(share, 1.0) * 100);
    if (left_us < 0) return format_text(messages::share_done, percent);
    return format_text(messages::share_done, percent) + format_text(messages::time_left, time_left_text(left_us).c_str());
}

std::size_t progress_tick(progress_state& state, const phase_state& phase, const char* label, std::int64_t now) {
    const std::int64_t file_start = phase.worker_0_file_start.load(std::memory_order_relaxed);
    if (file_start == 0) return 0;
    if (file_start != state.file_start) state = progress_state{0, file_start, file_start};
    if (now / one_second_us - state.last_sample / one_second_us <= 0) return 0;

    state.last_sample = now;
    const std::uint64_t kib = phase.bytes_moved.load(std::memory_order_relaxed) / bytes_per_kib;
    std::string line = format_text(messages::progress, label,
                                   static_cast<unsigned long long>(rate_kib_per_ms(kib, elapsed_us(phase.start_us, now))),
                                   messages::dots[state.dots]);
    if (phase.outlook_shown) line += phase_outlook(phase, now);
    print("%s", line.c_str());
    state.dots = state.dots >= 4 ? 0 : state.dots + 1;
    return line.size();
}

void start_progress(progress_printer& printer, phase_state& phase, const char* label, progress_line line) {
    progress_files_ended(phase);
    printer.outlook_shown = phase.outlook_shown;
    if (line == progress_line::hidden) return;
    try {
        printer.thread = std::thread([&printer, &phase, label] { print_until_stopped(printer, phase, label); });
    } catch (const std::system_error&) {
        // The figures do not need the progress line: the phase runs without it.
    }
}

void stop_progress(progress_printer& printer) {
    if (!printer.thread.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(printer.lock);
        printer.stopping = true;
    }
    printer.stop_asked.notify_all();
    printer.thread.join();
    // The figure's line is shorter than a line with the outlook: the rest of it is blanked.
    if (printer.outlook_shown && printer.longest_line > 1)
        print("\r%s", std::string(printer.longest_line - 1, ' ').c_str());
}
