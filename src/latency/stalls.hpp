// The longest calls of a phase, with where they happened: a worker keeps its ten longest,
// and a call shorter than the tenth costs one comparison.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "latency/histogram.hpp"

inline constexpr std::size_t kept_stalls = 10;

struct stall_record {
    std::uint32_t rank = 0;  // with several ranks; each rank's start is on its own clock
    std::uint32_t worker = 0;
    std::uint32_t file = 0;     // the file's index among the worker's
    std::uint64_t offset = 0;   // of the call's first byte in the file
    bool whole_file = false;    // a file's flush, which has no offset
    std::int64_t start_ns = 0;  // on the phase clock while kept; from the phase's start once merged
    std::uint64_t duration_ns = 0;
};

struct stall_keeper {
    std::array<stall_record, kept_stalls> longest{};  // in no order
    std::size_t size = 0;
    std::uint64_t shortest_kept_ns = 0;  // once full, a call must last longer to be kept
};

// Puts `stall` in the place of the shortest kept, when full.
void keep_stall(stall_keeper& keeper, const stall_record& stall);

inline void keep_if_long(stall_keeper& keeper, const stall_record& stall) {
    if (keeper.size == kept_stalls && stall.duration_ns <= keeper.shortest_kept_ns) return;
    keep_stall(keeper, stall);
}

// The longest `kept_stalls` of all the keepers, longest first, their starts made relative to
// `phase_start_ns`.
std::vector<stall_record> longest_stalls(const std::vector<const stall_keeper*>& keepers, std::int64_t phase_start_ns);

// The longest `kept_stalls` of `stalls`, longest first (ties by rank, worker, start).
void keep_longest(std::vector<stall_record>& stalls);

// A worker's record of its calls in one phase.
struct call_times {
    latency_histogram histogram;
    stall_keeper stalls;
};

// The clock the phases use (steady), in nanoseconds.
inline std::int64_t latency_clock_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One call, made where `call` says from its start_ns, that ended at `end_ns` on that clock.
inline void record_call(call_times& times, stall_record call, std::int64_t end_ns) {
    call.duration_ns = end_ns > call.start_ns ? static_cast<std::uint64_t>(end_ns - call.start_ns) : 0;
    record_latency(times.histogram, call.duration_ns);
    keep_if_long(times.stalls, call);
}

// What a phase's calls took and its longest, all workers' (and ranks') together: the histogram
// until the ranks have added theirs, then its summary.
struct phase_latency {
    latency_histogram histogram;
    latency_summary summary;
    std::vector<stall_record> stalls;
};

// The phase's, from its workers' records; `phase_start_ns` on the phase clock.
phase_latency merge_call_times(const std::vector<const call_times*>& workers, std::int64_t phase_start_ns);

// A stall's numbers, to gather from several processes, and back with its rank.
inline constexpr std::size_t stall_number_count = 6;
void append_stall_numbers(std::vector<std::uint64_t>& numbers, const stall_record& stall);
stall_record stall_from_numbers(const std::uint64_t* numbers, std::uint32_t rank);
