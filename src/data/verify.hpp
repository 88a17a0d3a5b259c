// Proving the data came back as written: what was read is compared with the same bytes made
// again from the pattern, never stored. The damage is told by the 4 KiB sectors it covers,
// whatever the block size: from the first byte that differs, the comparison goes on, across
// blocks, to the end of the run of consecutive sectors that differ, and each sector is
// diagnosed from its stamp: another file's data, an earlier run's, no data of this run, or
// flipped bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/pattern.hpp"
#include "data/stamp.hpp"
#include "run/run_state.hpp"

// How far the comparison follows a damaged run: 1 MiB from the start of its first sector, the
// largest block, so the reader reads at most that much more of the file to finish.
inline constexpr std::uint64_t damage_window_bytes = 1048576;

// Consecutive whole sectors whose stamps name another place, as one stretch of it.
struct foreign_stretch {
    std::uint64_t first = 0;  // the first sector's first byte and the last sector's last byte
    std::uint64_t last = 0;
    sector_stamp stamp;  // the first sector's
};

// Where -verify found the data read back differing from what was written, and what it holds:
// `diagnosis` is the error's second line, `details` the lines after it. A file that ends
// early has no damage.
struct mismatch_record {
    bool found = false;
    std::string file;
    std::uint64_t byte = 0;
    std::string diagnosis;
    bool damage = false;
    std::uint64_t last_byte = 0;  // the damage's last differing byte
    std::uint64_t bits = 0;       // differing from `byte` to `last_byte`
    bool may_go_on = false;       // the run of damaged sectors filled what was compared
    std::vector<std::string> details;
};

// One file's comparison. Once a byte differs, `damaged` holds until the diagnosis is reported.
struct file_check {
    const run_state* run = nullptr;  // whose files' names the stamps are told by
    bool damaged = false;
    sector_stamp own;  // the file's stamps, but for their offsets
    std::uint64_t first_byte = 0;
    std::uint64_t last_byte = 0;
    std::uint64_t bits = 0;  // differing over first_byte to last_byte
    std::uint64_t window_end = 0;
    std::string diagnosis;  // of the sector holding first_byte
    std::vector<foreign_stretch> foreign;
    // The sector being compared: its start, its bytes compared so far and their differing
    // bits, and what its stamp says.
    std::uint64_t sector = 0;
    std::uint64_t sector_seen = 0;
    std::uint64_t sector_bits = 0;
    bool sector_stamped = false;  // a stamp could be read from it
    sector_stamp sector_stamp_found;
};

// Compares `size` bytes read at `offset` of the pattern's file `file`, named `name`, with
// `expected`, the pattern's block there (pattern_block). True while the reader must go on: all
// matched, or a damaged run is not over yet; false once the diagnosis is complete, given in
// `found`.
bool check_block(const data_pattern& pattern, const unsigned char* expected, file_check& check, std::uint32_t file,
                 std::uint64_t offset, const unsigned char* data, std::size_t size, const std::string& name,
                 mismatch_record& found);

enum class file_length { ended, goes_on };

// The file `name` ended at `offset` of the `written` bytes written to it, or, when `goes_on`,
// holds more than them: tells the damage still being followed, else a file short of what was
// written or longer. False when it found one, given in `found`.
bool check_file_end(file_check& check, const std::string& name, std::uint64_t offset, std::uint64_t written,
                    mismatch_record& found, file_length length = file_length::ended);

// The bits that differ between `size` bytes of `data` and `expected`.
std::uint64_t differing_bits(const unsigned char* data, const unsigned char* expected, std::size_t size);

// The run's fatal error for a mismatch: its first line, the diagnosis and the details.
std::string mismatch_message(const mismatch_record& mismatch);
