#include "platform/file_io.hpp"
#include "platform/os_cache.hpp"

namespace {
std::string failed_file;
std::string failure_reason;
}  // namespace

// Linux has no standby list to purge as a whole without privilege; instead each file's
// cached pages are dropped, for any user, without touching other processes' cache.
purge_failure purge_file_cache(const std::vector<std::string>& files, const std::atomic<bool>&) {
    failed_file.clear();
    failure_reason.clear();
    for (const std::string& name : files) {
        std::string reason;
        if (!drop_cached_pages(name, reason) && failed_file.empty()) {
            failed_file = name;
            failure_reason = reason;
        }
    }
    return failed_file.empty() ? purge_failure::none : purge_failure::file_pages;
}

std::vector<purge_file_failure> purge_failure_details() {
    if (failed_file.empty()) return {};
    return {purge_file_failure{failed_file, failure_reason}};
}
