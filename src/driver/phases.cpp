#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "cluster/cluster.hpp"
#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "common/stop.hpp"
#include "data/stamp.hpp"
#include "driver/driver.hpp"
#include "results/series.hpp"
#include "settings/settings.hpp"
#include "workers/progress.hpp"

namespace {

// Tells main, which samples the series while it waits, that the last worker has ended.
struct workers_running {
    std::mutex lock;
    std::condition_variable all_ended;
    std::uint32_t count = 0;
};

void end_worker(workers_running& running) {
    std::lock_guard<std::mutex> guard(running.lock);
    if (--running.count == 0) running.all_ended.notify_all();
}

// Samples the bytes moved by every worker each time a point is due, until all have ended.
void sample_until_ended(workers_running& running, series_record& series) {
    start_series(series);
    std::unique_lock<std::mutex> lock(running.lock);
    for (;;) {
        const auto due =
            std::chrono::steady_clock::time_point(std::chrono::microseconds(phase_start + next_point_due_us(series)));
        if (running.all_ended.wait_until(lock, due, [&running] { return running.count == 0; })) return;
        add_point(series, now_us() - phase_start, bytes_moved.load(std::memory_order_relaxed));
    }
}

// Runs `worker_function` on every record in a thread of its own and waits for all of them,
// the progress line printed meanwhile with `label`; stamps the phase's end when the last has
// ended, before the printer's last sample, which may wait on the console. A worker that can't
// be started is a fatal error: a figure from fewer workers than asked would be presented as
// the one asked for. The workers already started stop at their next block.
void run_workers(std::vector<thread_param>& records, void (*worker_function)(thread_param*), const char* label,
                 figure_record& figure) {
    progress_printer printer;
    start_progress(printer, label, cluster_mode() ? progress_line::hidden : progress_line::shown);
    workers_running running;
    running.count = static_cast<std::uint32_t>(records.size());
    std::vector<std::thread> threads(records.size());
    for (std::uint32_t t = 0; t < records.size(); ++t) {
        records[t].bytes = 0;
        try {
            threads[t] = std::thread([&running, &record = records[t], worker_function] {
                worker_function(&record);
                record.end_us = now_us();
                if (record.thread_index == 0) progress_files_ended();
                end_worker(running);
            });
        } catch (const std::system_error& error) {
            record_fatal_error(format_text(messages::thread_creation, t, error.code().message().c_str()));
            // The workers that will never start count as ended.
            for (std::uint32_t never = t; never < records.size(); ++never) end_worker(running);
            break;
        }
    }
    sample_until_ended(running, figure.series);
    phase_end = now_us();
    stop_progress(printer);
    for (std::thread& thread : threads) {
        if (!thread.joinable()) continue;
        try {
            thread.join();
        } catch (const std::system_error& error) {
            print_on_own_line(format_text(messages::thread_join, error.code().value()));
            // A thread object still joinable when destroyed ends the process with the files on disk.
            thread.detach();
        }
    }
}

// The figure of the phase that ran from phase_start to phase_end.
void measure(figure_record& figure, std::uint64_t bytes) {
    figure.measured = true;
    figure.bytes = bytes;
    figure.start_us = phase_start - run_start_us;
    figure.elapsed_us = elapsed_us(phase_start, phase_end);
    figure.kib_per_ms = rate_kib_per_ms(bytes / bytes_per_kib, figure.elapsed_us);
}

// Each rank times its phase from the moment every rank is ready: no two nodes' clocks are
// compared.
figure_record run_phase(std::vector<thread_param>& records, void (*worker_function)(thread_param*),
                        const char* label) {
    figure_record figure;
    bytes_moved.store(0);
    wait_for_every_rank(records);
    phase_start = now_us();
    run_workers(records, worker_function, label, figure);
    measure(figure, bytes_moved.load());
    end_series(figure.series, figure.elapsed_us, figure.bytes);
    for (std::uint32_t t = 0; t < records.size(); ++t)
        figure.workers.push_back(
            worker_result{records[t].bytes, elapsed_us(phase_start, records[t].end_us), cluster_rank(), t});
    return figure;
}

}  // namespace

std::int64_t run_start_us = 0;

figure_record write_phase(std::vector<thread_param>& records) {
    for (std::uint32_t t = 0; t < records.size(); ++t) {
        records[t].thread_index = t;
        records[t].stream = cluster_rank() * streams_per_rank + t;
    }
    print("%s", messages::write_status);
    const figure_record figure = run_phase(records, write_worker, messages::write_label);
    // A rank forces its files as soon as its own writers end, without waiting for the others.
    if (cluster_mode()) start_flush();
    return figure;
}

figure_record read_phase(std::vector<thread_param>& records, bool with_cache) {
    for (thread_param& record : records) record.with_cache = with_cache;
    return run_phase(records, read_worker, with_cache ? messages::read_label : messages::read_without_cache_label);
}
