#include "run/write_order.hpp"

void prepare_write_order(write_order& order, std::uint32_t workers, std::uint64_t blocks_per_worker,
                         std::uint64_t block_bytes) {
    order.block_bytes = block_bytes;
    order.blocks_per_worker = blocks_per_worker;
    order.blocks_per_group = 1;
    while (workers * ((blocks_per_worker + order.blocks_per_group - 1) / order.blocks_per_group) > write_order_entries)
        order.blocks_per_group *= 2;
    order.groups_per_worker = (blocks_per_worker + order.blocks_per_group - 1) / order.blocks_per_group;
    order.positions.assign(workers * order.groups_per_worker, unplaced);
}

void note_block_written(write_order& order, std::uint32_t worker, std::uint64_t block, std::uint64_t position) {
    if (block % order.blocks_per_group != 0 || block >= order.blocks_per_worker) return;
    const std::uint64_t entry = worker * order.groups_per_worker + block / order.blocks_per_group;
    if (entry < order.positions.size()) order.positions[entry] = position;
}

std::uint64_t position_written(const write_order& order, std::uint32_t worker, std::uint64_t block,
                               std::uint64_t offset_in_block) {
    if (block >= order.blocks_per_worker) return unplaced;
    const std::uint64_t entry = worker * order.groups_per_worker + block / order.blocks_per_group;
    if (entry >= order.positions.size() || order.positions[entry] == unplaced) return unplaced;
    return order.positions[entry] + block % order.blocks_per_group * order.block_bytes + offset_in_block;
}
