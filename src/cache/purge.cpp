#include "cache/cache.hpp"
#include "common/messages.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

void purge_os_cache(const std::vector<std::string>& files) {
    switch (purge_file_cache(files)) {
        case purge_failure::none: return;
        case purge_failure::library: report_error(false, messages::purge_library); return;
        case purge_failure::address: report_error(false, messages::purge_address); return;
        case purge_failure::token: report_error(false, messages::purge_token); return;
        case purge_failure::privilege: report_error(false, messages::purge_privilege); return;
        case purge_failure::ntstatus: report_error(false, messages::purge_ntstatus); return;
    }
}
