#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <ctime>
#include <thread>

#include "platform/file_system.hpp"
#include "platform/system_info.hpp"

host_description describe_host() {
    host_description host;
    utsname names{};
    if (uname(&names) == 0) {
        host.name = names.nodename;
        host.os = names.sysname;
        host.os_version = names.release;
    }
    host.logical_cpus = std::thread::hardware_concurrency();
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_bytes = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page_bytes > 0) host.memory_bytes = static_cast<std::uint64_t>(pages) * page_bytes;
    return host;
}

std::string utc_now() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

volume_description describe_volume(const std::string& directory) {
    volume_description volume;
    file_system_type type;
    if (file_system_of(directory, type)) {
        volume.file_system = type.name;
        volume.memory_backed = type.in_memory;
    }
    struct statvfs state {};
    if (statvfs(directory.c_str(), &state) == 0) {
        volume.total_bytes = static_cast<std::uint64_t>(state.f_blocks) * state.f_frsize;
        volume.free_bytes = static_cast<std::uint64_t>(state.f_bavail) * state.f_frsize;
    }
    return volume;
}

std::uint64_t process_id() { return static_cast<std::uint64_t>(getpid()); }
