// Windows' processor groups: up to 64 logical processors each. Before Windows 11 and Windows
// Server 2022 a process's threads stay in one group unless placed, so on a machine of more
// than 64 the workers are spread over the groups here. The decisions are plain functions of
// the system's answers, tested anywhere; the placement itself is Windows' alone.
#pragma once

#include <cstdint>
#include <vector>

// What the system answered: its build, each active group's count of processors, and whether
// the process may run on its whole primary group (no one restricted it, as `start /affinity`
// or a job does).
struct processor_group_answers {
    std::uint32_t windows_build = 0;
    std::vector<std::uint32_t> active_per_group;
    bool process_on_whole_group = false;
};

// The first build whose processes span every group by default: Windows Server 2022's (20348);
// Windows 11's is 22000.
inline constexpr std::uint32_t first_build_spanning_groups = 20348;

// True when the workers must be placed: more than one active group, an older Windows, and a
// process free to run anywhere in its group.
bool workers_placed(const processor_group_answers& answers);

// The group of worker `worker_index`: the workers are dealt out in turn to the group with the
// fewest workers for its processors, the lowest-numbered first, so that each group gets a
// share of the workers in proportion to its processors.
std::uint32_t group_of_worker(std::uint32_t worker_index, const std::vector<std::uint32_t>& active_per_group);

// Called by each worker thread as it starts: puts it in its group where workers_placed says so.
void place_worker_thread(std::uint32_t worker_index);
