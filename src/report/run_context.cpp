#include "report/run_context.hpp"

#include "cache/cache.hpp"
#include "common/bounded_call.hpp"
#include "device/identity.hpp"
#include "platform/file_system.hpp"
#include "platform/system_info.hpp"
#include "report/console.hpp"

namespace {

host_record host_of_run() {
    const host_description host = describe_host();
    return host_record{host.name, host.os, host.os_version, host.logical_cpus, host.memory_bytes};
}

target_record target_of_run(const std::string& directory) {
    const volume_description volume = describe_volume(directory);
    target_record target;
    target.path = directory;
    target.file_system = volume.file_system;
    target.memory_backed = volume.memory_backed;
    target.compressed = volume.compressed;
    target.encrypted = volume.encrypted;
    target.total_bytes = volume.total_bytes;
    target.free_bytes = volume.free_bytes;
    file_system_type type;
    if (file_system_of(directory, type) && type.other_cache != cache_beyond_purge::none) {
        target.cache_beyond_purge = cache_beyond_purge_name(type.other_cache);
        target.cache_beyond_purge_text = without_note_prefix(cache_beyond_purge_note(directory, type));
    }
    return target;
}

}  // namespace

void capture_run_context(run_record& run, const run_settings& settings) {
    run.host = call_within(identity_limit_ms, [] { return host_of_run(); }).value_or(host_record{});
    const std::string directory = settings.target_directory;
    target_record unknown;
    unknown.path = directory;
    run.target = call_within(identity_limit_ms, [directory] { return target_of_run(directory); }).value_or(unknown);
}
