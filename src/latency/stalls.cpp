#include "latency/stalls.hpp"

#include <algorithm>
#include <tuple>

void keep_stall(stall_keeper& keeper, const stall_record& stall) {
    if (keeper.size < kept_stalls) {
        keeper.longest[keeper.size++] = stall;
    } else {
        auto shortest = std::min_element(
            keeper.longest.begin(), keeper.longest.end(),
            [](const stall_record& a, const stall_record& b) { return a.duration_ns < b.duration_ns; });
        *shortest = stall;
    }
    if (keeper.size < kept_stalls) return;
    keeper.shortest_kept_ns = keeper.longest[0].duration_ns;
    for (const stall_record& kept : keeper.longest)
        keeper.shortest_kept_ns = std::min(keeper.shortest_kept_ns, kept.duration_ns);
}

void keep_longest(std::vector<stall_record>& stalls) {
    std::sort(stalls.begin(), stalls.end(), [](const stall_record& a, const stall_record& b) {
        return std::tie(b.duration_ns, a.rank, a.worker, a.start_ns) <
               std::tie(a.duration_ns, b.rank, b.worker, b.start_ns);
    });
    if (stalls.size() > kept_stalls) stalls.resize(kept_stalls);
}

std::vector<stall_record> longest_stalls(const std::vector<const stall_keeper*>& keepers, std::int64_t phase_start_ns) {
    std::vector<stall_record> all;
    for (const stall_keeper* keeper : keepers)
        for (std::size_t k = 0; k < keeper->size; ++k) {
            stall_record stall = keeper->longest[k];
            stall.start_ns -= phase_start_ns;
            all.push_back(stall);
        }
    keep_longest(all);
    return all;
}

phase_latency merge_call_times(const std::vector<const call_times*>& workers, std::int64_t phase_start_ns) {
    phase_latency phase;
    std::vector<const stall_keeper*> keepers;
    for (const call_times* times : workers) {
        add_histogram(phase.histogram, times->histogram);
        keepers.push_back(&times->stalls);
    }
    phase.summary = summarize(phase.histogram);
    phase.stalls = longest_stalls(keepers, phase_start_ns);
    return phase;
}

void append_stall_numbers(std::vector<std::uint64_t>& numbers, const stall_record& stall) {
    numbers.insert(numbers.end(), {stall.worker, stall.file, stall.offset, stall.whole_file ? 1u : 0u,
                                   static_cast<std::uint64_t>(stall.start_ns), stall.duration_ns});
}

stall_record stall_from_numbers(const std::uint64_t* numbers, std::uint32_t rank) {
    return stall_record{rank,
                        static_cast<std::uint32_t>(numbers[0]),
                        static_cast<std::uint32_t>(numbers[1]),
                        numbers[2],
                        numbers[3] != 0,
                        static_cast<std::int64_t>(numbers[4]),
                        numbers[5]};
}
