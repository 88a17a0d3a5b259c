// The capacity check of -fill with -verify: every sector of every file read back is told
// apart, whether it holds what was written there or not, and where the data it holds was
// written, in the order the blocks were written across all workers (run/write_order.hpp), so
// that a device that keeps less than it offers (its address space wrapped: data written late
// comes back in place of earlier data; or data past some point lost) is told by how much,
// and a few damaged sectors are told as damage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/pattern.hpp"
#include "run/write_order.hpp"

inline constexpr std::uint64_t no_position = UINT64_MAX;

// A sector read at `position` of the order written that held the data written `distance` away.
struct foreign_sector {
    std::uint64_t position = 0;
    std::uint64_t distance = 0;
};

// How many of the latest written such sectors the aliasing distance is taken from: their
// median stands whatever a few blocks placed late in the order (a worker paused between its
// write and its count) say.
inline constexpr std::size_t latest_foreign_kept = 1024;

struct capacity_tally {
    std::uint64_t checked_bytes = 0;
    std::uint64_t verified_bytes = 0;  // held what was written there
    // In the order written, the first byte of the first sector that did not.
    std::uint64_t first_bad = no_position;
    std::uint64_t bad_sectors = 0;
    std::uint64_t differing_bits = 0;  // over the sectors that did not
    // The sector counted last, by file and offset: one read in several parts counts once.
    std::uint32_t last_bad_file = 0;
    std::uint64_t last_bad_sector = no_position;
    // Sectors holding data this pass wrote elsewhere: their bytes, and of the latest written of
    // them (a heap on `position`), the distance to where the data each holds was written.
    std::uint64_t foreign_bytes = 0;
    std::vector<foreign_sector> latest_foreign;
};

// Tallies the `size` bytes `data` read at `offset` of the pattern's file `file`, sector by
// sector, against `expected`, what was written there; `order` places them, and the data of
// other places their stamps name, among all the bytes the pass wrote.
void tally_read(capacity_tally& tally, const write_order& order, const data_pattern& pattern, std::uint32_t file,
                std::uint64_t offset, const unsigned char* expected, const unsigned char* data, std::size_t size,
                std::uint64_t blocks_per_file, std::uint32_t worker_count);

// Adds `part`'s sectors to `whole`.
void add_tally(capacity_tally& whole, const capacity_tally& part);

// Where a device's addresses wrap, in the order written: how far from where it was written the
// data came back in the latest written sectors that held data of another place (the median
// over latest_foreign_kept of them); 0 when none did.
std::uint64_t aliasing_distance(const capacity_tally& tally);

// What the differences say. A smaller capacity needs at least capacity_least_loss of data
// that did not come back: data this pass wrote elsewhere, in bulk, says the device's addresses
// wrap (no damage makes this run's stamps appear in the wrong place); data lost over a tail of
// what was written (capacity_tail_share of it from the first bad sector on), or over half of
// all that was read, says the device lost what it could not hold. Anything less is damage. A
// check cut short by -time judges nothing unread.
enum class capacity_kind { wrapped, lost, damaged, cut_short };

inline constexpr double capacity_tail_share = 0.9;
inline constexpr std::uint64_t capacity_least_loss = 1048576;

capacity_kind judge_tally(const capacity_tally& tally, std::uint64_t offered_bytes, bool cut_short);

// The kind's name in the results file, and the kind a name gives (`otherwise` for none).
const char* capacity_kind_name(capacity_kind kind);
capacity_kind capacity_kind_named(const std::string& name, capacity_kind otherwise);
