#include <shared_mutex>

#include "common/buffer.hpp"
#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "data/pattern.hpp"
#include "io/engine.hpp"
#include "run/file_name.hpp"
#include "run/run_file.hpp"
#include "run/run_marker.hpp"
#include "run/run_state.hpp"
#include "settings/settings.hpp"
#include "workers/progress.hpp"
#include "workers/workers.hpp"

namespace {

// Creates the worker's file `index`. The worker's first file takes the prefix drawn for the
// pass (and recorded in the run's marker), or one drawn now; another is drawn, and recorded,
// while that name is in use.
bool create_test_file(worker& self, std::uint32_t index, os_file& handle) {
    file_identity& identity = created_identity(*self.run, self.number, index);
    if (index > 0)
        return create_run_file(*self.run, test_file_entry(self.file_prefix, index), messages::write_open, handle, identity);
    bool drawn_for_the_pass = !self.file_prefix.empty();
    const auto draw_prefix = [&self, &drawn_for_the_pass] {
        if (!drawn_for_the_pass) {
            self.file_prefix = new_prefix();
            record_prefix(*self.run, self.file_prefix);
        }
        drawn_for_the_pass = false;
        return test_file_entry(self.file_prefix, 0);
    };
    std::string name;
    return create_run_file_drawn(*self.run, draw_prefix, messages::write_open, name, handle, identity);
}

// Counts a block that completed, with its call's time and, for the capacity check, its place
// in the order the blocks came in; false, with the run's error, when it failed.
bool complete_written_block(worker& self, std::uint32_t index, const block_completion& done) {
    run_state& run = *self.run;
    const std::uint64_t offset = done.request.offset;
    record_call(self.times, {0, self.number, index, offset, false, done.submitted_ns}, done.completed_ns);
    const std::uint64_t bytes = done.request.size;
    if (done.bytes < 0 || static_cast<std::uint64_t>(done.bytes) != bytes) {
        const std::string reason =
            done.bytes < 0 ? done.reason
                           : format_text(messages::write_took_less, static_cast<unsigned long long>(done.bytes),
                                         static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(offset));
        const std::string name = test_file_name(run.settings.target_directory, self.file_prefix, index);
        record_fatal_error(run, format_text(messages::short_write, name.c_str(), reason.c_str()));
        return false;
    }
    const std::uint64_t before = run.phase.bytes_moved.fetch_add(bytes, std::memory_order_relaxed);
    if (capacity_checked(run.settings))
        note_block_written(run.order, self.number,
                           std::uint64_t{index} * run.settings.blocks_per_file + offset / bytes, before);
    self.bytes += bytes;
    return true;
}

// Writes one whole file; false when the run must stop or the phase's deadline has passed.
bool write_file(worker& self, std::uint32_t index, data_pattern& pattern, io_engine& engine) {
    run_state& run = *self.run;
    os_file handle = no_file;
    {
        std::shared_lock<std::shared_mutex> creations(run.creation_lock);
        if (run.creation_closed || !create_test_file(self, index, handle)) return false;
        write_handle(run, self.number, index) = handle;
        run.files_created[self.number] = index + 1;
    }
    attach_file(engine, handle);

    const std::size_t bytes = bytes_per_block(run.settings);
    if (self.number == 0) progress_file_started(run.phase, now_us());
    std::uint64_t offset = 0;
    for (std::uint32_t block = 0; block < run.settings.blocks_per_file; ++block, offset += bytes) {
        if (stop_requested(run)) return false;
        if (past_deadline(run.phase)) {
            run.last_file_bytes[self.number] = offset;
            stop_at_deadline(self, index, offset);
            return false;
        }
        submit_block(engine, {pattern_block(pattern, index, offset), nullptr, bytes, offset});
        block_completion done;
        if (!next_completion(engine, done) || !complete_written_block(self, index, done)) return false;
    }
    run.last_file_bytes[self.number] = offset;
    return true;
}

}  // namespace

void write_worker(worker* self) {
    run_state& run = *self->run;
    data_pattern pattern;
    if (!make_pattern(pattern, self->pass_identity, self->stream, bytes_per_block(run.settings),
                      run.buffer_alignment)) {
        record_fatal_error(run, buffer_refusal(bytes_per_block(run.settings)));
        return;
    }
    io_engine engine = make_engine();
    for (std::uint32_t index = 0; index < run.settings.files_per_worker; ++index) {
        if (stop_requested(run)) return;
        if (past_deadline(run.phase)) {
            stop_at_deadline(*self, index, 0);
            return;
        }
        if (!write_file(*self, index, pattern, engine)) return;
    }
}
