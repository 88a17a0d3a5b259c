#include "data/capacity.hpp"

#include <algorithm>
#include <cstring>

#include "data/stamp.hpp"

std::uint64_t written_position(std::uint32_t stream, std::uint32_t file, std::uint64_t offset,
                               std::uint64_t file_bytes, std::uint32_t worker_count) {
    return (std::uint64_t{file} * worker_count + stream) * file_bytes + offset;
}

void tally_read(capacity_tally& tally, const data_pattern& pattern, std::uint32_t file, std::uint64_t offset,
                const unsigned char* expected, const unsigned char* data, std::size_t size,
                std::uint64_t file_bytes, std::uint32_t worker_count) {
    // Part by part, each within one sector: a block need not start on a sector's boundary.
    for (std::size_t at = 0, part = 0; at < size; at += part) {
        const std::uint64_t file_offset = offset + at;
        part = static_cast<std::size_t>(std::min<std::uint64_t>(sector_bytes - file_offset % sector_bytes, size - at));
        tally.checked_bytes += part;
        if (std::memcmp(data + at, expected + at, part) == 0) {
            tally.verified_bytes += part;
            continue;
        }
        const std::uint64_t position = written_position(pattern.stream, file, file_offset, file_bytes, worker_count);
        tally.first_bad = std::min(tally.first_bad, position);
        // Data of this pass from one of its writers, but another place: its distance.
        sector_stamp stamp;
        const bool stamped = file_offset % sector_bytes == 0 && part >= stamp_bytes && read_stamp(data + at, stamp);
        if (!stamped || stamp.run != pattern.identity || stamp.stream >= worker_count) continue;
        const std::uint64_t origin = written_position(stamp.stream, stamp.file, stamp.offset, file_bytes, worker_count);
        const std::uint64_t distance = origin > position ? origin - position : position - origin;
        if (distance != 0 && (tally.aliasing_distance == 0 || distance < tally.aliasing_distance))
            tally.aliasing_distance = distance;
    }
}

void add_tally(capacity_tally& whole, const capacity_tally& part) {
    whole.checked_bytes += part.checked_bytes;
    whole.verified_bytes += part.verified_bytes;
    whole.first_bad = std::min(whole.first_bad, part.first_bad);
    if (part.aliasing_distance != 0 &&
        (whole.aliasing_distance == 0 || part.aliasing_distance < whole.aliasing_distance))
        whole.aliasing_distance = part.aliasing_distance;
}
