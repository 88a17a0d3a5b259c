// The caches that the purge of the OS cache does not reach: the last read may be served from
// one of them, and only the user can keep them out, so the run says which one once.
#include "cache/cache.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/file_system.hpp"

const char* cache_beyond_purge_name(cache_beyond_purge cache) {
    switch (cache) {
        case cache_beyond_purge::zfs_arc: return "zfs_arc";
        case cache_beyond_purge::network_server: return "network_server";
        case cache_beyond_purge::fuse_daemon: return "fuse_daemon";
        case cache_beyond_purge::none: break;
    }
    return nullptr;
}

std::string cache_beyond_purge_note(const std::string& directory, const file_system_type& type) {
    switch (type.other_cache) {
        case cache_beyond_purge::zfs_arc: return format_text(messages::zfs_arc_cache, directory.c_str());
        case cache_beyond_purge::network_server:
            return format_text(messages::server_cache, directory.c_str(), type.name.c_str());
        case cache_beyond_purge::fuse_daemon:
            return format_text(messages::fuse_daemon_cache, directory.c_str(), type.name.c_str());
        case cache_beyond_purge::none: break;
    }
    return std::string();
}

void note_cache_beyond_purge(const std::string& directory) {
    file_system_type type;
    if (!file_system_of(directory, type)) return;
    const std::string note = cache_beyond_purge_note(directory, type);
    if (!note.empty()) print_on_own_line(note);
}
