// Where the workers run on a machine of several processor groups, decided on the answers such
// machines give: which Windows spreads them itself, and how they are dealt out otherwise.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/processor_groups.hpp"

TEST(ProcessorGroups, WorkersArePlacedOnlyOnOlderWindowsWithSeveralGroupsAndAFreeProcess) {
    // Windows Server 2019 (17763) and Windows 10 22H2 (19045) on 2 x 64, Server 2022 (20348)
    // and Windows 11 (22000) on the same machine.
    const std::vector<std::uint32_t> two_groups = {64, 64};
    EXPECT_TRUE(workers_placed({17763, two_groups, true}));
    EXPECT_TRUE(workers_placed({19045, two_groups, true}));
    EXPECT_FALSE(workers_placed({20348, two_groups, true}));
    EXPECT_FALSE(workers_placed({22000, two_groups, true}));
    // One group, however many processors; a group of none; a process someone restricted.
    EXPECT_FALSE(workers_placed({17763, {48}, true}));
    EXPECT_FALSE(workers_placed({17763, {64, 0}, true}));
    EXPECT_FALSE(workers_placed({17763, two_groups, false}));
    EXPECT_FALSE(workers_placed({17763, {}, true}));
}

TEST(ProcessorGroups, EachGroupGetsWorkersInProportionToItsProcessors) {
    // Equal groups take turns.
    for (std::uint32_t worker = 0; worker < 8; ++worker) EXPECT_EQ(group_of_worker(worker, {64, 64}), worker % 2);
    // 80 processors as 64 and 16: of every 5 workers, 4 go to group 0, spread among the others.
    std::map<std::uint32_t, int> count;
    for (std::uint32_t worker = 0; worker < 100; ++worker) ++count[group_of_worker(worker, {64, 16})];
    EXPECT_EQ(count[0], 80);
    EXPECT_EQ(count[1], 20);
    EXPECT_EQ(group_of_worker(0, {64, 16}), 0u);
    EXPECT_EQ(group_of_worker(1, {64, 16}), 1u);
    // Three groups of 40, 40 and 20 with 100 workers, and a group with none active skipped.
    count.clear();
    for (std::uint32_t worker = 0; worker < 100; ++worker) ++count[group_of_worker(worker, {40, 40, 20})];
    EXPECT_EQ(count, (std::map<std::uint32_t, int>{{0, 40}, {1, 40}, {2, 20}}));
    for (std::uint32_t worker = 0; worker < 10; ++worker) EXPECT_NE(group_of_worker(worker, {32, 0, 32}), 1u);
    EXPECT_EQ(group_of_worker(5, {}), 0u);
}
