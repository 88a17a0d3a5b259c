#include "cache/cache.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/ending.hpp"
#include "platform/os_cache.hpp"

namespace {
// Where the OS purges file by file, the files it could not purge and why.
void report_failed_file(const std::string& directory) {
    for (const purge_file_failure& failure : purge_failure_details()) {
        const std::string path = directory + failure.file;
        const std::string reason = failure.changed ? std::string("open: ") + messages::file_replaced : failure.reason;
        print_error(format_text(messages::purge_file, path.c_str(), reason.c_str()));
    }
}
}  // namespace

void purge_os_cache(run_state& run, const std::vector<directory_entry>& files) {
    switch (purge_file_cache(run.directory, files, run.stop.requested)) {
        case purge_failure::none: return;
        case purge_failure::library: print_error(messages::purge_library); break;
        case purge_failure::address: print_error(messages::purge_address); break;
        case purge_failure::token: print_error(messages::purge_token); break;
        case purge_failure::privilege: print_error(messages::purge_privilege); break;
        case purge_failure::standby_list: print_error(messages::purge_standby_list); break;
        case purge_failure::system_cache: print_error(messages::purge_system_cache); break;
        case purge_failure::file_pages: break;
    }
    report_failed_file(run.settings.target_directory);
}

bool test_files_cached(const run_state& run, const std::vector<directory_entry>& test_files, cache_residency& residency) {
    return cached_part(run.directory, test_files, residency) && residency.total_pages > 0;
}
