#include <vector>

#include "platform/processor_groups.hpp"
#include "platform/windows/version.hpp"

namespace {

struct group_plan {
    bool place = false;
    std::vector<std::uint32_t> active_per_group;
    std::vector<KAFFINITY> active_masks;
};

// Each active group's processors, from the system's description of its groups.
bool read_groups(group_plan& plan) {
    DWORD size = 0;
    GetLogicalProcessorInformationEx(RelationGroup, nullptr, &size);
    std::vector<unsigned char> buffer(size);
    auto* information = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
    if (size == 0 || !GetLogicalProcessorInformationEx(RelationGroup, information, &size)) return false;
    const GROUP_RELATIONSHIP& groups = information->Group;
    for (WORD group = 0; group < groups.ActiveGroupCount; ++group) {
        plan.active_per_group.push_back(groups.GroupInfo[group].ActiveProcessorCount);
        plan.active_masks.push_back(groups.GroupInfo[group].ActiveProcessorMask);
    }
    return true;
}

group_plan read_plan() {
    group_plan plan;
    OSVERSIONINFOW version;
    if (!real_windows_version(version) || !read_groups(plan)) return plan;
    processor_group_answers answers;
    answers.windows_build = version.dwBuildNumber;
    answers.active_per_group = plan.active_per_group;
    USHORT count = 1;
    USHORT primary = 0;
    DWORD_PTR process_mask = 0, system_mask = 0;
    answers.process_on_whole_group =
        GetProcessGroupAffinity(GetCurrentProcess(), &count, &primary) && count == 1 &&
        primary < plan.active_masks.size() &&
        GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) &&
        process_mask == plan.active_masks[primary];
    plan.place = workers_placed(answers);
    return plan;
}

}  // namespace

void place_worker_thread(std::uint32_t worker_index) {
    static const group_plan plan = read_plan();
    if (!plan.place) return;
    const std::uint32_t group = group_of_worker(worker_index, plan.active_per_group);
    GROUP_AFFINITY affinity{};
    affinity.Mask = plan.active_masks[group];
    affinity.Group = static_cast<WORD>(group);
    SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr);
}
