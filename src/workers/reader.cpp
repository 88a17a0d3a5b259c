#include <algorithm>

#include "common/buffer.hpp"
#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "data/capacity.hpp"
#include "data/pattern.hpp"
#include "io/engine.hpp"
#include "data/verify.hpp"
#include "run/file_name.hpp"
#include "run/run_file.hpp"
#include "settings/settings.hpp"
#include "workers/progress.hpp"
#include "workers/workers.hpp"

namespace {

// The mismatch is the run's fatal error; the worker keeps it when it is the first. With the
// capacity check the reader reads on to the end of every file, keeping its first mismatch for
// the driver. True when the reader must stop.
bool keep_mismatch(worker& self, const mismatch_record& found) {
    if (capacity_checked(self.run->settings)) {
        if (!self.mismatch.found) self.mismatch = found;
        return false;
    }
    if (record_fatal_error(*self.run, mismatch_message(found))) self.mismatch = found;
    return true;
}

// What reading one file needs from block to block.
struct file_reading {
    std::uint32_t index = 0;
    std::string name;
    std::uint64_t written = 0;  // what its writer wrote
    data_pattern* pattern = nullptr;  // with -verify
    file_check check;
    mismatch_record found;
};

enum class block_outcome { next, file_end, stop };

// Counts a block that completed, with its call's time, and with a pattern compares it and
// tallies it for the capacity check; says whether the file goes on after it.
block_outcome complete_read_block(worker& self, file_reading& file, const block_completion& done) {
    run_state& run = *self.run;
    const run_settings& settings = run.settings;
    const std::uint64_t offset = done.request.offset;
    const std::size_t bytes = done.request.size;
    unsigned char* buffer = done.request.target;
    // The read that finds the file's end moves nothing: it is no block.
    if (done.bytes != 0)
        record_call(self.times, {0, self.number, file.index, offset, false, done.submitted_ns}, done.completed_ns);
    if (done.bytes < 0) {
        record_fatal_error(run, format_text(messages::read_failed, file.name.c_str(), done.reason.c_str()));
        return block_outcome::stop;
    }
    run.phase.bytes_moved.fetch_add(static_cast<std::uint64_t>(done.bytes), std::memory_order_relaxed);
    self.bytes += static_cast<std::uint64_t>(done.bytes);
    const std::size_t size = static_cast<std::size_t>(done.bytes);
    const std::uint64_t written = file.written;
    data_pattern* pattern = file.pattern;
    // Only what was written is compared; anything past it is a file that grew.
    const std::size_t written_part =
        offset >= written ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(size, written - offset));
    // The capacity check tallies on after its first mismatch, comparing no more.
    const bool comparing = pattern != nullptr && !(capacity_checked(settings) && self.mismatch.found);
    // What was written there, made once for the comparison and the capacity check alike.
    const unsigned char* expected = pattern != nullptr && written_part > 0 && (comparing || capacity_checked(settings))
                                        ? pattern_block(*pattern, file.index, offset)
                                        : nullptr;
    if (expected != nullptr && capacity_checked(settings))
        tally_read(self.capacity, run.order, *pattern, file.index, offset, expected, buffer, written_part,
                   settings.blocks_per_file, settings.worker_count);
    if (comparing && written_part > 0 &&
        !check_block(*pattern, expected, file.check, file.index, offset, buffer, written_part, file.name, file.found)) {
        if (keep_mismatch(self, file.found)) return block_outcome::stop;
    } else if (comparing && size > written_part) {
        check_file_end(file.check, file.name, offset + written_part, written, file.found, file_length::goes_on);
        if (keep_mismatch(self, file.found)) return block_outcome::stop;
    }
    if (size < bytes) {
        if (comparing && !self.mismatch.found &&
            !check_file_end(file.check, file.name, offset + size, written, file.found) &&
            keep_mismatch(self, file.found))
            return block_outcome::stop;
        return block_outcome::file_end;
    }
    return block_outcome::next;
}

// Reads one file to its end, counting every byte read, and with a pattern (-verify) checks
// every byte against what was written; a difference found, it reads on until the damage is
// told. False when the run must stop or the phase's deadline has passed.
bool read_file(worker& self, std::uint32_t index, unsigned char* buffer, data_pattern* pattern, io_engine& engine) {
    run_state& run = *self.run;
    const run_settings& settings = run.settings;
    const std::size_t bytes = bytes_per_block(settings);
    file_reading file;
    file.index = index;
    file.name = test_file_name(settings.target_directory, self.reads.prefix, index);
    file.pattern = pattern;
    file.check.run = &run;
    file.written = index + 1 == self.reads.files ? self.reads.last_file_bytes : test_file_bytes(settings);
    os_file handle = no_file;
    const directory_entry entry{test_file_entry(self.reads.prefix, index),
                                index < self.reads.identities.size() ? self.reads.identities[index] : unknown_identity};
    if (!open_run_file(run, entry, messages::read_open, handle)) return false;
    attach_file(engine, handle);

    if (self.number == 0) progress_file_started(run.phase, now_us());
    bool complete = true;
    for (std::uint64_t offset = 0; !stop_requested(run); offset += bytes) {
        // A file read whole is finished, its end included, whatever the time.
        if (offset < file.written && past_deadline(run.phase)) {
            stop_at_deadline(self, index, offset);
            complete = false;
            break;
        }
        submit_block(engine, {nullptr, buffer, bytes, offset});
        block_completion done;
        const block_outcome outcome =
            next_completion(engine, done) ? complete_read_block(self, file, done) : block_outcome::stop;
        if (outcome == block_outcome::stop) complete = false;
        if (outcome != block_outcome::next) break;
    }
    std::string ignored;
    close_file(handle, ignored);
    return complete && !stop_requested(run);
}

}  // namespace

void read_worker(worker* self) {
    run_state& run = *self->run;
    const run_settings& settings = run.settings;
    const block_buffer buffer = new_buffer(bytes_per_block(settings), run.buffer_alignment);
    data_pattern pattern;
    if (!buffer || (settings.verify && !make_pattern(pattern, self->pass_identity, self->read_stream,
                                                     bytes_per_block(settings), run.buffer_alignment))) {
        record_fatal_error(run, buffer_refusal(bytes_per_block(settings)));
        return;
    }
    io_engine engine = make_engine();
    for (std::uint32_t index = 0; index < self->reads.files; ++index) {
        if (past_deadline(run.phase)) {
            stop_at_deadline(*self, index, 0);
            return;
        }
        if (!read_file(*self, index, buffer.get(), settings.verify ? &pattern : nullptr, engine)) return;
    }
}
