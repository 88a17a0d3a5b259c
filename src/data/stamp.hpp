// Every 4 KiB sector the run writes begins with a stamp saying which run, file and offset it
// belongs to: no two sectors of a run are alike, so no storage can deduplicate them, and a
// sector read back where it does not belong tells where it came from. Stamps are stored
// scrambled, so that consecutive stamps share no bytes a compressor could use.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t sector_bytes = 4096;

// The stream of the eviction file. Writers are numbered rank × 100 + worker (at most 100
// workers a rank): unique among all the ranks of a run, and the worker's index with one.
inline constexpr std::uint32_t eviction_stream = 0xFFFFFFFF;
inline constexpr std::uint32_t streams_per_rank = 100;

struct sector_stamp {
    std::uint64_t run = 0;     // the pass's identity, different in every run and pass
    std::uint32_t stream = 0;  // the writer's number, or eviction_stream
    std::uint32_t file = 0;    // the file's index among its writer's files
    std::uint64_t offset = 0;  // the sector's byte offset in its file
};

inline constexpr std::size_t stamp_bytes = 32;

void write_stamp(const sector_stamp& stamp, unsigned char* sector);

// Stamps `count` sectors that follow on from `first`, the first at `sectors`: the same bytes as
// one write_stamp each, several made side by side.
void write_stamps(const sector_stamp& first, std::size_t count, unsigned char* sectors);

// False when the sector's first bytes are no stamp at all.
bool read_stamp(const unsigned char* sector, sector_stamp& stamp);
