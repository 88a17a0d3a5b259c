// What a run measured, kept for the results file and the report: every pass, its timed
// phases with their per-worker figures and their series, and the untimed steps between them.
// The driver fills it in as the run goes; nothing here prints or writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The four figures, in the order the console prints them.
enum class figure_kind { write_cached, write_forced, read_cached, read_uncached };
inline constexpr int figure_count = 4;

struct worker_result {
    std::uint64_t bytes = 0;
    std::int64_t elapsed_us = 0;  // from the phase's start to the worker's end
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

struct figure_record {
    bool measured = false;
    std::uint64_t bytes = 0;
    std::int64_t start_us = 0;  // from the run's start
    std::int64_t elapsed_us = 0;
    std::uint64_t kib_per_ms = 0;  // the console's figure
    std::vector<worker_result> workers;
    series_record series;  // empty for the forced write, whose time adds the flush to the write's
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

// Where -verify found the data read back differing from what was written, and what it holds.
struct mismatch_record {
    bool found = false;
    std::string file;
    std::uint64_t byte = 0;
    std::string diagnosis;
};

struct run_record {
    std::vector<std::string> command_line;
    std::string started_utc;  // ISO 8601
    std::vector<pass_record> passes;
    mismatch_record mismatch;
};

// The run being measured; main fills it, the reports read it.
extern run_record current_run;

// Keeps the first mismatch any reader finds; later ones follow from it or from the stop.
void keep_first_mismatch(const mismatch_record& mismatch);
