// What a run carries from its start to its end: its settings, whether it must stop and why, the
// phase being timed, and the files it has created. Main owns the one record and hands it down;
// each worker reaches it through its own record.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/clock.hpp"
#include "latency/stalls.hpp"
#include "platform/file_io.hpp"
#include "run/write_order.hpp"
#include "settings/settings.hpp"

// The part the interruption handlers touch: atomics only.
struct stop_signal {
    // Raised by a fatal error or an interruption; workers look at it before every block.
    std::atomic<bool> requested{false};
    // The exit status an interruption asks for, 0 while none has arrived.
    std::atomic<int> interruption_status{0};
    // Every interruption that has arrived, the first and those after it.
    std::atomic<unsigned> interruptions{0};
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<unsigned>::is_always_lock_free,
              "the interruption handlers need lock-free atomics");

// The phase being timed, as its workers, its sampler and its progress line share it.
struct phase_state {
    std::atomic<std::uint64_t> bytes_moved{0};  // by all workers; each adds every block it moves
    std::atomic<std::int64_t> worker_0_file_start{0};  // of worker 0's file, 0 when it is in none
    std::int64_t start_us = 0;  // stamped by the driver before the workers start
    std::int64_t end_us = 0;    // stamped once the last has ended
    // With -time, when the workers stop whether their files are done or not; 0 for never.
    std::int64_t deadline_us = 0;
    std::atomic<bool> cut_short{false};  // a worker stopped at the deadline
    std::uint64_t expected_bytes = 0;    // all its files', for the share done on the progress line
    bool outlook_shown = false;          // the progress line says the share done and the time left
};

// True once the phase's deadline, if any, has passed; the worker that finds it says so.
inline bool past_deadline(phase_state& phase) {
    if (phase.deadline_us == 0 || now_us() < phase.deadline_us) return false;
    phase.cut_short.store(true, std::memory_order_relaxed);
    return true;
}

// One writer's files as the readers find them: under `prefix`, `files` of them, the last
// holding `last_file_bytes` (less than a whole file when -time cut the write short); and, for
// this process's own writers only, each file's identity, which a file read must still have.
struct writer_files {
    std::string prefix;
    std::uint32_t files = 0;
    std::uint64_t last_file_bytes = 0;
    std::vector<file_identity> identities;
};

// All the bytes of a writer's files, each but the last of `file_bytes`.
inline std::uint64_t written_bytes(const writer_files& writer, std::uint64_t file_bytes) {
    return writer.files == 0 ? 0 : file_bytes * (writer.files - 1) + writer.last_file_bytes;
}

// Forcing the test files to the device, on a thread of its own over a copy of the handles,
// which it alone closes.
struct flush_progress {
    std::vector<os_file> handles;
    std::uint32_t files_per_worker = 1;  // a copy: the thread may outlive the settings
    std::size_t done = 0;  // handles forced and closed (or never opened), in order
    bool failed = false;   // the handle after the last done could not be forced or closed
    std::string reason;
    std::int64_t start_us = 0;
    std::int64_t end_us = 0;
    call_times times;  // of each file's flush and close
    std::mutex lock;
    std::condition_variable ended;
    bool over = false;
};

struct run_state {
    // The run's settings, kept by whoever made this state, read-only for the run.
    explicit run_state(const run_settings& given) : settings(given) {}
    const run_settings& settings;

    stop_signal stop;
    std::mutex error_lock;
    std::string first_error;  // empty when the stop is an interruption

    // The tested directory, opened once before any file exists: every file of the run is
    // created, opened, purged and removed through it, by its name there.
    os_directory directory = no_directory;
    std::int64_t start_us = 0;  // the run's start on the phase clock, from which steps are placed
    std::uint64_t seed = 0;     // drawn once; every pass's data derives from it
    std::size_t buffer_alignment = 4096;  // raised before the first buffer when -direct needs more
    phase_state phase;

    // Every test file stays open from its writer to the flush pass: row-major, one row of
    // files_per_worker handles per worker, no_file where none is open. Worker t owns row t;
    // the driver reads the table only when no worker runs.
    std::vector<os_file> write_handles;
    // What each file held there was when created, in the same order.
    std::vector<file_identity> file_identities;
    // Per worker, how many of its test files it has created so far, and the bytes written to
    // the last once it is done with it.
    std::vector<std::uint32_t> files_created;
    std::vector<std::uint64_t> last_file_bytes;
    std::string eviction_file_path;  // drawn when the file is created, with the directory
    directory_entry eviction_file;   // its name in the directory and its identity
    bool eviction_file_created = false;
    // Held shared while a file of the run is created and recorded above, exclusively by its
    // removal: once `creation_closed`, no file is created, even by a thread the driver no
    // longer waits for. Opened again for each pass.
    std::shared_mutex creation_lock;
    bool creation_closed = false;
    // Each writer's prefix in the pass, by stream (data/stamp.hpp), empty for a writer whose
    // files are not in this directory: a sector read back in the wrong place is named after
    // the file it came from.
    std::vector<std::string> writer_prefixes;
    // Every rank's writers' files in the pass, by rank (a single process is rank 0), from which
    // each reader is given the files it reads.
    std::vector<std::vector<writer_files>> files_of_rank;
    // With the capacity check, where each block came in the order the blocks were written.
    write_order order;

    // The marker beside the run's files (run/run_marker.hpp), open for its lines; no_file when
    // the run has none.
    std::mutex marker_lock;
    os_file marker = no_file;
    std::string marker_name;  // in the directory

    // The flush started last and not yet settled, and its thread.
    std::shared_ptr<flush_progress> flush;
    std::thread flusher;
};

// Records the run's first fatal error (later ones are its consequences) and raises the stop;
// true when this one was the first.
bool record_fatal_error(run_state& run, const std::string& message);

// The recorded message, empty when the stop is an interruption or there is none.
std::string recorded_fatal_error(run_state& run);

inline bool stop_requested(const run_state& run) { return run.stop.requested.load(std::memory_order_relaxed); }

// Async-signal-safe: only stores the exit status, the first asked for, and raises the stop.
void request_interruption(stop_signal& stop, int exit_status);

inline int interruption_status(const run_state& run) { return run.stop.interruption_status.load(); }

// Sizes the write-handle table, the files' identities and the counts of files created for a pass.
void prepare_write_handles(run_state& run);

os_file& write_handle(run_state& run, std::uint32_t worker_index, std::uint32_t index);
file_identity& created_identity(run_state& run, std::uint32_t worker_index, std::uint32_t index);
