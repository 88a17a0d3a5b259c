#include "platform/file_io.hpp"
#include "platform/os_cache.hpp"

namespace {
purge_file_failure first_failure;
}  // namespace

// Linux has no standby list to purge as a whole without privilege; instead each file's
// cached pages are dropped, for any user, without touching other processes' cache.
purge_failure purge_file_cache(os_directory directory, const std::vector<directory_entry>& files,
                               const std::atomic<bool>&) {
    first_failure = purge_file_failure{};
    for (const directory_entry& entry : files) {
        std::string reason;
        const opening dropped = drop_cached_pages(directory, entry, reason);
        if (dropped != opening::opened && first_failure.file.empty())
            first_failure = purge_file_failure{entry.name, reason, dropped == opening::changed};
    }
    return first_failure.file.empty() ? purge_failure::none : purge_failure::file_pages;
}

std::vector<purge_file_failure> purge_failure_details() {
    if (first_failure.file.empty()) return {};
    return {first_failure};
}
