#include <cerrno>
#include <cstdio>

#include "common/buffer.hpp"
#include "common/file_name.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/random.hpp"
#include "common/rate.hpp"
#include "common/stop.hpp"
#include "common/stream.hpp"
#include "common/write_streams.hpp"
#include "settings/settings.hpp"
#include "workers/progress.hpp"
#include "workers/workers.hpp"

namespace {

// Writes one whole file; false when the run must stop.
bool write_file(const thread_param& record, std::uint32_t index, unsigned char* buffer, byte_generator& generator) {
    const std::size_t bytes = bytes_per_block();
    fill_random(generator, buffer, bytes);

    const std::string name = test_file_name(record.file_prefix, index);
    std::FILE* stream = open_stream(name, "wb", messages::write_open);
    if (stream == nullptr) return false;
    write_stream(record.thread_index, index) = stream;
    files_created[record.thread_index] = index + 1;

    progress_state progress;
    if (record.thread_index == 0) start_file(progress);
    for (std::uint32_t block = 0; block < blocks_per_file; ++block) {
        if (stop_requested.load(std::memory_order_relaxed)) return false;
        if (std::fwrite(buffer, 1, bytes, stream) != bytes) {
            report_fatal_error(format_text(messages::short_write, name.c_str(), errno_reason(errno).c_str()));
            return false;
        }
        bytes_moved.fetch_add(bytes, std::memory_order_relaxed);
        if (record.thread_index == 0) progress_step(progress, messages::write_label);
    }
    return true;
}

}  // namespace

void write_worker(thread_param* record) {
    const std::unique_ptr<unsigned char[]> buffer = new_buffer(bytes_per_block());
    if (!buffer) return;
    byte_generator generator = generator_for(record->thread_index);
    for (std::uint32_t index = 0; index < file_number; ++index) {
        if (stop_requested.load(std::memory_order_relaxed)) return;
        if (!write_file(*record, index, buffer.get(), generator)) return;
    }
}
