#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "common/stop.hpp"
#include "data/pattern.hpp"
#include "run/file_name.hpp"
#include "run/run_file.hpp"
#include "run/write_handles.hpp"
#include "settings/settings.hpp"
#include "workers/progress.hpp"
#include "workers/workers.hpp"

namespace {

// Creates the worker's file `index`. The worker draws its prefix with its first file, and
// draws again while that name is in use.
bool create_test_file(thread_param& record, std::uint32_t index, os_file& handle) {
    if (index > 0) return create_run_file(test_file_name(record.file_prefix, index), messages::write_open, handle);
    const auto draw_prefix = [&record] {
        record.file_prefix = new_prefix();
        return test_file_name(record.file_prefix, 0);
    };
    std::string name;
    return create_run_file_drawn(draw_prefix, messages::write_open, name, handle);
}

// Writes one whole file; false when the run must stop.
bool write_file(thread_param& record, std::uint32_t index, data_pattern& pattern) {
    os_file handle = no_file;
    if (!create_test_file(record, index, handle)) return false;
    write_handle(record.thread_index, index) = handle;
    files_created[record.thread_index] = index + 1;

    const std::size_t bytes = bytes_per_block();
    if (record.thread_index == 0) progress_file_started(now_us());
    std::uint64_t offset = 0;
    for (std::uint32_t block = 0; block < settings.blocks_per_file; ++block, offset += bytes) {
        if (stop_requested.load(std::memory_order_relaxed)) return false;
        std::string reason;
        if (!write_all(handle, pattern_block(pattern, index, offset), bytes, reason)) {
            const std::string name = test_file_name(record.file_prefix, index);
            record_fatal_error(format_text(messages::short_write, name.c_str(), reason.c_str()));
            return false;
        }
        bytes_moved.fetch_add(bytes, std::memory_order_relaxed);
        record.bytes += bytes;
    }
    return true;
}

}  // namespace

void write_worker(thread_param* record) {
    data_pattern pattern;
    if (!make_pattern(pattern, record->pass_identity, record->stream, bytes_per_block())) return;
    for (std::uint32_t index = 0; index < settings.files_per_worker; ++index) {
        if (stop_requested.load(std::memory_order_relaxed)) return;
        if (!write_file(*record, index, pattern)) return;
    }
}
