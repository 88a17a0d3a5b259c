#include <shared_mutex>

#include "cache/cache.hpp"
#include "common/buffer.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/random.hpp"
#include "common/units.hpp"
#include "data/pattern.hpp"
#include "data/stamp.hpp"
#include "run/file_name.hpp"
#include "run/run_file.hpp"
#include "run/run_marker.hpp"
#include "settings/settings.hpp"

namespace {

constexpr std::size_t bytes_per_chunk = bytes_per_mib;

void fail(run_state& run, const char* format, const std::string& reason) {
    record_fatal_error(run, format_text(format, run.eviction_file_path.c_str(), reason.c_str()));
}

// Creates the eviction file under path + "vellumcrate_cache" + 3 random letters, drawing the
// letters again while the name is in use.
bool create_eviction_file(run_state& run, os_file& handle) {
    const auto draw_name = [&run] {
        std::string name = "vellumcrate_cache";
        for (int letter = 0; letter < 3; ++letter) name += random_letter();
        record_file_name(run, name);
        return name;
    };
    const bool created = create_run_file_drawn(run, draw_name, messages::eviction_open, run.eviction_file.name, handle,
                                               run.eviction_file.identity);
    run.eviction_file_path = run.settings.target_directory + run.eviction_file.name;
    return created;
}

}  // namespace

void write_eviction_file(run_state& run, std::uint64_t identity) {
    print("%s", messages::eviction_status);
    data_pattern pattern;
    if (!make_pattern(pattern, identity, eviction_stream, bytes_per_chunk, run.buffer_alignment)) {
        record_fatal_error(run, buffer_refusal(bytes_per_chunk));
        return;
    }
    os_file handle = no_file;
    {
        std::shared_lock<std::shared_mutex> creations(run.creation_lock);
        if (run.creation_closed || !create_eviction_file(run, handle)) return;
        run.eviction_file_created = true;
    }

    const std::uint64_t chunks = eviction_file_bytes(run.settings) / bytes_per_chunk;
    std::string reason;
    for (std::uint64_t chunk = 0; chunk < chunks && !stop_requested(run); ++chunk) {
        if (!write_all(handle, pattern_block(pattern, 0, chunk * bytes_per_chunk), bytes_per_chunk, reason)) {
            fail(run, messages::eviction_write, reason);
            break;
        }
    }
    if (!stop_requested(run) && !force_to_device(handle, reason)) fail(run, messages::eviction_write, reason);
    if (!close_file(handle, reason) && !stop_requested(run)) fail(run, messages::eviction_write, reason);
}

void read_eviction_file(run_state& run) {
    const block_buffer buffer = new_buffer(bytes_per_block(run.settings), run.buffer_alignment);
    if (!buffer) {
        record_fatal_error(run, buffer_refusal(bytes_per_block(run.settings)));
        return;
    }
    print("%s", messages::eviction_status);
    // Read back from the OS's cache, the file would never reach the controller again.
    std::string reason;
    drop_cached_pages(run.directory, run.eviction_file, reason);
    os_file handle = no_file;
    if (!open_run_file(run, run.eviction_file, messages::eviction_open, handle)) return;
    const std::size_t bytes = bytes_per_block(run.settings);
    while (!stop_requested(run)) {
        const std::int64_t got = read_up_to(handle, buffer.get(), bytes, reason);
        if (got < 0) fail(run, messages::eviction_read, reason);
        if (got < static_cast<std::int64_t>(bytes)) break;
    }
    close_file(handle, reason);
}
