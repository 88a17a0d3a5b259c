#include "cache/cache.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/os_cache.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

namespace {
// Where the OS purges file by file, the first file it could not purge and why.
void report_failed_file() {
    std::string file, reason;
    if (purge_failure_detail(file, reason))
        report_error(false, format_text(messages::purge_file, file.c_str(), reason.c_str()));
}
}  // namespace

void purge_os_cache(const std::vector<std::string>& files) {
    switch (purge_file_cache(files)) {
        case purge_failure::none: return;
        case purge_failure::library: report_error(false, messages::purge_library); return;
        case purge_failure::address: report_error(false, messages::purge_address); return;
        case purge_failure::token: report_error(false, messages::purge_token); return;
        case purge_failure::privilege: report_error(false, messages::purge_privilege); return;
        case purge_failure::ntstatus:
            report_error(false, messages::purge_ntstatus);
            report_failed_file();
            return;
        case purge_failure::file_pages:
            report_failed_file();
            return;
    }
}
