#include <cerrno>
#include <cstdio>

#include "cache/cache.hpp"
#include "common/buffer.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/random.hpp"
#include "common/stop.hpp"
#include "common/stream.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

bool eviction_file_created = false;

namespace {

constexpr std::size_t bytes_per_chunk = 1048576;
// The eviction file's bytes come from a stream of their own, apart from every worker's.
constexpr std::uint64_t eviction_generator = 1000;

void fail(const char* format, const std::string& reason) {
    report_fatal_error(format_text(format, eviction_file_path.c_str(), reason.c_str()));
}

}  // namespace

void write_eviction_file() {
    print("%s", messages::eviction_status);
    const std::unique_ptr<unsigned char[]> chunk = new_buffer(bytes_per_chunk);
    if (!chunk) return;
    byte_generator generator = generator_for(eviction_generator);
    fill_random(generator, chunk.get(), bytes_per_chunk);

    std::FILE* stream = open_stream(eviction_file_path, "wb", messages::eviction_open);
    if (stream == nullptr) return;
    eviction_file_created = true;

    const std::uint64_t chunks = std::uint64_t{cache} * 1024;
    for (std::uint64_t n = 0; n < chunks && !stop_requested.load(); ++n) {
        if (std::fwrite(chunk.get(), 1, bytes_per_chunk, stream) != bytes_per_chunk) {
            fail(messages::eviction_write, errno_reason(errno));
            break;
        }
    }
    std::string reason;
    if (!stop_requested.load() && !force_to_device(stream, reason)) fail(messages::eviction_write, reason);
    if (std::fclose(stream) != 0 && !stop_requested.load()) fail(messages::eviction_write, errno_reason(errno));
}

void read_eviction_file() {
    const std::unique_ptr<unsigned char[]> buffer = new_buffer(bytes_per_block());
    if (!buffer) return;
    print("%s", messages::eviction_status);
    std::FILE* stream = open_stream(eviction_file_path, "rb", messages::eviction_open);
    if (stream == nullptr) return;
    while (!stop_requested.load() && std::fread(buffer.get(), bytes_per_block(), 1, stream) == 1) {
    }
    if (std::ferror(stream)) fail(messages::eviction_read, errno_reason(errno));
    std::fclose(stream);
}
