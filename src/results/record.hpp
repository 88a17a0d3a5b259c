// What a run measured, kept for the results file and the report: every pass, its timed
// phases with their per-worker figures and their series, and the untimed steps between them.
// The driver fills it in as the run goes; nothing here prints or writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/capacity.hpp"
#include "data/verify.hpp"
#include "device/identity.hpp"
#include "latency/stalls.hpp"
#include "settings/settings.hpp"

// The four figures, in the order the console prints them.
enum class figure_kind { write_cached, write_forced, read_cached, read_uncached };
inline constexpr int figure_count = 4;

struct worker_result {
    std::uint64_t bytes = 0;
    std::int64_t elapsed_us = 0;  // from the phase's start to the worker's end
    std::uint32_t rank = 0;       // with several ranks: the worker's rank, and its index there
    std::uint32_t worker = 0;
    // With -time, where the deadline stopped it: its file, and the bytes of it done.
    bool cut_short = false;
    std::uint32_t stopped_file = 0;
    std::uint64_t stopped_offset = 0;
};

// With several ranks, one rank's part of a figure, timed on its own clock from its own start.
struct rank_result {
    std::uint64_t bytes = 0;
    std::int64_t elapsed_us = 0;
};

// Bytes moved by all workers so far, at `elapsed_us` from the phase's start.
struct series_point {
    std::int64_t elapsed_us = 0;
    std::uint64_t bytes = 0;
};

struct series_record {
    std::int64_t interval_us = 0;  // between points; the last point is the phase's end
    std::vector<series_point> points;
};

// Where the write's rate fell for good, as the results file and the page give it.
struct rate_drop_record {
    std::int64_t after_us = 0;  // from the phase's start
    std::uint64_t after_bytes = 0;
    double before_mb_per_second = 0;  // rounded as the results file gives them
    double after_mb_per_second = 0;
    std::string text;
};

// A stage of a phase, as the results file and the page give it.
struct stage_record {
    std::string kind;  // "os_cache", "device_cache", "steady" or "decline"
    std::uint64_t first_byte = 0;  // moved by all workers at its start
    std::uint64_t last_byte = 0;
    std::int64_t start_us = 0;  // from the phase's start
    std::int64_t end_us = 0;
    double mb_per_second = 0;  // its median, rounded as the results file gives it
    // A decline's rate at its start and its end; a level stage's median at both.
    double start_mb_per_second = 0;
    double end_mb_per_second = 0;
    // Counted from the eviction's first byte, for a write after an eviction file.
    std::optional<std::uint64_t> first_byte_since_eviction = std::nullopt;
    std::optional<std::uint64_t> last_byte_since_eviction = std::nullopt;
};

// A note on a figure no link could carry, as the results file gives it.
struct link_note_record {
    std::string kind;  // "beyond_link" or "host_cache"
    std::optional<std::string> link;
    std::optional<double> ceiling_mb_per_second;
    std::string text;  // without the console's "Note: "
};

// With several ranks, `bytes` are all ranks' and `elapsed_us` the longest rank's time (the
// last done); `first_done_us` is the shortest's.
struct figure_record {
    bool measured = false;
    std::uint64_t bytes = 0;
    std::int64_t start_us = 0;  // from the run's start
    std::int64_t elapsed_us = 0;
    std::uint64_t kib_per_ms = 0;  // the console's figure
    std::vector<worker_result> workers;
    // Empty for the forced write, whose time runs on from the write's start to the flush's end,
    // and with several ranks, whose samples no single clock orders.
    series_record series;
    std::vector<rank_result> ranks;  // by rank; empty in a single process
    std::int64_t first_done_us = 0;
    bool cut_short = false;  // -time's deadline ended the phase before its files were done
    // What its read or write calls took (for the forced write, each file's flush) and its
    // longest calls; with several ranks, all ranks' calls.
    phase_latency latency;
    // Settled once the run ends: the write's fall in rate (none when it held) and the notes on
    // the forced write and the uncached read.
    std::optional<rate_drop_record> rate_drop;
    std::optional<link_note_record> link_note;
    // Settled as the figure is kept: the stretches of its series over which the rate held or
    // changed steadily (none without a series), and the note telling them, without its
    // "Note: ", empty when it says nothing.
    std::vector<stage_record> stages;
    std::string stages_text;
};

// An untimed step: the eviction file's write and read-backs, the flush, the purge.
struct step_record {
    std::string name;
    std::int64_t start_us = 0;
    std::int64_t elapsed_us = 0;
    std::uint64_t bytes = 0;
};

struct pass_record {
    figure_record figures[figure_count];
    std::vector<step_record> steps;
    // Share of the test files' pages still cached after the purge, when the system can tell.
    bool cached_after_purge_known = false;
    double cached_after_purge = 0;
};

// With several ranks, where each ran and whose files it read without cache.
struct rank_description {
    std::string host;
    std::string path;
    std::uint32_t node = 0;       // numbered from 0 in the order of the nodes' first ranks
    std::uint32_t directory = 0;  // the lowest rank that shares its directory
    std::uint32_t reads_from = 0;
    std::string file_system;  // the type of its directory's, empty when unknown
    bool in_memory = false;   // its directory is on a memory file system
};

// With -fill and -verify, once a read found the data differing: how much of what was written
// came back as written, in the order the blocks were written, where the device's data
// wrapped, and what that says.
struct capacity_record {
    bool checked = false;
    std::uint64_t offered_bytes = 0;    // written
    std::uint64_t verified_bytes = 0;   // read back as written
    std::uint64_t first_bad_offset = 0; // in the order written
    std::uint64_t aliasing_distance = 0;  // 0 when no data came back from another place
    capacity_kind kind = capacity_kind::lost;
    std::uint64_t checked_bytes = 0;  // read back and compared: all offered unless cut short
    std::uint64_t bad_sectors = 0;
    std::uint64_t bits_differ = 0;    // over the bad sectors
};

// The options as the run was given them, from the option table; what follows from them is
// computed from them (settings/settings.hpp).
using settings_record = run_settings;

struct host_record {
    std::string name;
    std::string os;
    std::string os_version;
    std::uint32_t logical_cpus = 0;
    std::uint64_t memory_bytes = 0;
};

struct target_record {
    std::string path;  // its exact bytes, whatever their encoding
    std::string file_system;  // empty when unknown
    bool memory_backed = false;
    bool compressed = false;
    bool encrypted = false;
    std::string cache_beyond_purge;  // "zfs_arc", "network_server", "fuse_daemon"; empty for none
    std::string cache_beyond_purge_text;  // its console note without "Note: "
    std::uint64_t total_bytes = 0;
    std::uint64_t free_bytes = 0;  // at the start of the run
};

enum class run_status { completed, error, interrupted };

struct run_record {
    std::vector<std::string> command_line;
    std::string started_utc;  // ISO 8601
    std::vector<pass_record> passes;
    mismatch_record mismatch;
    std::vector<rank_description> ranks;  // empty in a single process
    std::int64_t error_rank = -1;         // the rank that met the error reported, -1 for none
    bool interrupted = false;             // the run ended by an interruption
    capacity_record capacity;
    std::string capacity_note;            // its verdict, as the console's note says it
    measured_on measured;                 // the machine and the disk behind the directory
    // How the run ended, what it ran with and where: settled when the reports are written.
    std::string program_version;
    run_status status = run_status::completed;
    int exit_status = 0;
    std::string message;  // the error or the interruption line; empty when completed
    settings_record settings;
    host_record host;
    target_record target;
};
