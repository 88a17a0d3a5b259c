#include "data/capacity.hpp"

#include <algorithm>
#include <cstring>

#include "data/stamp.hpp"
#include "data/verify.hpp"

namespace {

// Where byte `offset` of file `file` of writer `worker` came among all the bytes written.
std::uint64_t placed(const write_order& order, std::uint32_t worker, std::uint32_t file, std::uint64_t offset,
                     std::uint64_t blocks_per_file) {
    if (order.block_bytes == 0) return unplaced;
    const std::uint64_t block = offset / order.block_bytes;
    if (block >= blocks_per_file) return unplaced;
    return position_written(order, worker, std::uint64_t{file} * blocks_per_file + block, offset % order.block_bytes);
}

bool later(const foreign_sector& a, const foreign_sector& b) { return a.position > b.position; }

// Keeps `sector` when it is among the latest_foreign_kept latest written.
void keep_if_latest(std::vector<foreign_sector>& latest, const foreign_sector& sector) {
    if (latest.size() < latest_foreign_kept) {
        latest.push_back(sector);
        std::push_heap(latest.begin(), latest.end(), later);
    } else if (sector.position > latest.front().position) {
        std::pop_heap(latest.begin(), latest.end(), later);
        latest.back() = sector;
        std::push_heap(latest.begin(), latest.end(), later);
    }
}

}  // namespace

void tally_read(capacity_tally& tally, const write_order& order, const data_pattern& pattern, std::uint32_t file,
                std::uint64_t offset, const unsigned char* expected, const unsigned char* data, std::size_t size,
                std::uint64_t blocks_per_file, std::uint32_t worker_count) {
    // Part by part, each within one sector: a block need not start on a sector's boundary.
    for (std::size_t at = 0, part = 0; at < size; at += part) {
        const std::uint64_t file_offset = offset + at;
        part = static_cast<std::size_t>(std::min<std::uint64_t>(sector_bytes - file_offset % sector_bytes, size - at));
        tally.checked_bytes += part;
        if (std::memcmp(data + at, expected + at, part) == 0) {
            tally.verified_bytes += part;
            continue;
        }
        tally.differing_bits += differing_bits(data + at, expected + at, part);
        const std::uint64_t sector = file_offset - file_offset % sector_bytes;
        if (tally.last_bad_sector != sector || tally.last_bad_file != file) ++tally.bad_sectors;
        tally.last_bad_file = file;
        tally.last_bad_sector = sector;
        const std::uint64_t position = placed(order, pattern.stream, file, file_offset, blocks_per_file);
        if (position == unplaced) continue;
        tally.first_bad = std::min(tally.first_bad, position);
        // Data of this pass from one of its writers, but another place: its distance.
        sector_stamp stamp;
        const bool stamped = file_offset % sector_bytes == 0 && part >= stamp_bytes && read_stamp(data + at, stamp);
        if (!stamped || stamp.run != pattern.identity || stamp.stream >= worker_count) continue;
        const std::uint64_t origin = placed(order, stamp.stream, stamp.file, stamp.offset, blocks_per_file);
        if (origin == unplaced || origin == position) continue;
        tally.foreign_bytes += part;
        keep_if_latest(tally.latest_foreign, {position, origin > position ? origin - position : position - origin});
    }
}

void add_tally(capacity_tally& whole, const capacity_tally& part) {
    whole.checked_bytes += part.checked_bytes;
    whole.verified_bytes += part.verified_bytes;
    whole.first_bad = std::min(whole.first_bad, part.first_bad);
    whole.bad_sectors += part.bad_sectors;
    whole.differing_bits += part.differing_bits;
    whole.foreign_bytes += part.foreign_bytes;
    for (const foreign_sector& sector : part.latest_foreign) keep_if_latest(whole.latest_foreign, sector);
}

std::uint64_t aliasing_distance(const capacity_tally& tally) {
    if (tally.latest_foreign.empty()) return 0;
    std::vector<std::uint64_t> distances;
    for (const foreign_sector& sector : tally.latest_foreign) distances.push_back(sector.distance);
    const auto middle = distances.begin() + static_cast<std::ptrdiff_t>(distances.size() / 2);
    std::nth_element(distances.begin(), middle, distances.end());
    return *middle;
}

capacity_kind judge_tally(const capacity_tally& tally, std::uint64_t offered_bytes, bool cut_short) {
    if (cut_short) return capacity_kind::cut_short;
    const std::uint64_t bad_bytes = tally.checked_bytes - tally.verified_bytes;
    if (bad_bytes < capacity_least_loss) return capacity_kind::damaged;
    if (tally.foreign_bytes >= capacity_least_loss) return capacity_kind::wrapped;
    const bool over_tail = tally.first_bad < offered_bytes &&
                           static_cast<double>(bad_bytes) >= capacity_tail_share * (offered_bytes - tally.first_bad);
    if (over_tail || bad_bytes * 2 >= tally.checked_bytes) return capacity_kind::lost;
    return capacity_kind::damaged;
}

namespace {
constexpr capacity_kind capacity_kinds[] = {capacity_kind::wrapped, capacity_kind::lost, capacity_kind::damaged,
                                            capacity_kind::cut_short};
}  // namespace

const char* capacity_kind_name(capacity_kind kind) {
    switch (kind) {
        case capacity_kind::wrapped: return "wrapped";
        case capacity_kind::lost: return "lost";
        case capacity_kind::damaged: return "damaged";
        case capacity_kind::cut_short: return "cut_short";
    }
    return "";
}

capacity_kind capacity_kind_named(const std::string& name, capacity_kind otherwise) {
    for (const capacity_kind kind : capacity_kinds)
        if (name == capacity_kind_name(kind)) return kind;
    return otherwise;
}
