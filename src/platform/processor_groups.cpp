#include "platform/processor_groups.hpp"

bool workers_placed(const processor_group_answers& answers) {
    std::uint32_t active_groups = 0;
    for (const std::uint32_t count : answers.active_per_group) active_groups += count > 0 ? 1 : 0;
    return active_groups > 1 && answers.windows_build < first_build_spanning_groups && answers.process_on_whole_group;
}

std::uint32_t group_of_worker(std::uint32_t worker_index, const std::vector<std::uint32_t>& active_per_group) {
    std::vector<std::uint64_t> placed(active_per_group.size(), 0);
    std::uint32_t chosen = 0;
    for (std::uint32_t worker = 0; worker <= worker_index; ++worker) {
        bool found = false;
        for (std::uint32_t group = 0; group < active_per_group.size(); ++group) {
            if (active_per_group[group] == 0) continue;
            // placed / active, compared without division.
            if (!found || placed[group] * active_per_group[chosen] < placed[chosen] * active_per_group[group]) {
                chosen = group;
                found = true;
            }
        }
        if (!found) return 0;
        ++placed[chosen];
    }
    return chosen;
}
