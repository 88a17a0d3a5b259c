// An engine that stands in for a device, in the test's own process: it can be slow (a fixed
// time per block, or only from an offset on), keep less than it offers (its addresses wrap,
// or what lies past its capacity is dropped), flip a bit, fail a block with a chosen error,
// and move less than asked. With a capacity, the files' data lives in the device's memory, each
// 4 KiB piece taking the device's next place in the order the pieces arrive, whatever file or
// worker wrote them, as a counterfeit stick does; without one, the blocks go to the real files.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "io/engine.hpp"

inline constexpr std::uint64_t fake_piece_bytes = 4096;
inline constexpr std::uint64_t no_offset = UINT64_MAX;

// A fault on the block of every file that holds `offset`, on writes or reads.
struct fake_fault {
    std::uint64_t offset = no_offset;
    bool on_writes = true;
    int error = 0;               // the OS error the block fails with; 0 for none
    std::int64_t moved = -1;     // with no error, the bytes it moves instead of all; -1 for all
};

struct fake_device {
    // What it is.
    std::uint64_t keeps_bytes = 0;   // 0: every block goes to the real file
    bool drops = false;              // past its capacity a piece is lost, not wrapped
    std::int64_t flipped_piece = -1; // this piece (in arrival order) reads back with one bit flipped
    std::uint32_t write_us = 0;      // each block's time, from `slow_from` on
    std::uint32_t read_us = 0;
    std::uint64_t slow_from = 0;
    fake_fault fault;

    // What it holds.
    std::mutex lock;
    unsigned char* places = nullptr;  // keeps_bytes, untouched pages costing nothing
    std::int64_t pieces_written = 0;
    struct file_pieces {
        std::vector<std::int64_t> places;  // each piece's number in arrival order, -1 for none
        std::uint64_t length = 0;
    };
    std::map<std::uint64_t, file_pieces> files;  // by inode
    std::uint64_t blocks_moved = 0;
};

// Readies the device's memory; false when it can't be had.
bool make_fake_device(fake_device& device);
void release_fake_device(fake_device& device);

extern const engine_calls fake_engine;
