#include <cerrno>
#include <cstdio>

#include "common/buffer.hpp"
#include "common/file_name.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rate.hpp"
#include "common/stop.hpp"
#include "common/stream.hpp"
#include "settings/settings.hpp"
#include "workers/progress.hpp"
#include "workers/workers.hpp"

namespace {

// Reads one file to its end, counting every byte read; false when the run must stop.
bool read_file(const thread_param& record, std::uint32_t index, unsigned char* buffer) {
    const std::size_t bytes = bytes_per_block();
    const std::string name = test_file_name(record.file_prefix, index);
    std::FILE* stream = open_stream(name, "rb", messages::read_open);
    if (stream == nullptr) return false;

    const char* label = record.with_cache ? messages::read_label : messages::read_without_cache_label;
    progress_state progress;
    if (record.thread_index == 0) start_file(progress);
    bool complete = true;
    while (!stop_requested.load(std::memory_order_relaxed)) {
        const std::size_t bytes_read = std::fread(buffer, 1, bytes, stream);
        bytes_moved.fetch_add(bytes_read, std::memory_order_relaxed);
        if (bytes_read < bytes) {
            if (std::ferror(stream)) {
                report_fatal_error(format_text(messages::read_failed, name.c_str(), errno_reason(errno).c_str()));
                complete = false;
            }
            break;
        }
        if (record.thread_index == 0) progress_step(progress, label);
    }
    std::fclose(stream);
    return complete && !stop_requested.load(std::memory_order_relaxed);
}

}  // namespace

void read_worker(thread_param* record) {
    const std::unique_ptr<unsigned char[]> buffer = new_buffer(bytes_per_block());
    if (!buffer) return;
    for (std::uint32_t index = 0; index < file_number; ++index)
        if (!read_file(*record, index, buffer.get())) return;
}
