#include "run/run_file.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "settings/settings.hpp"

namespace {

file_caching run_file_caching() { return settings.direct ? file_caching::unbuffered : file_caching::os_cache; }

void report_file_error(const char* message, const std::string& name, const std::string& reason) {
    record_fatal_error(message + format_text(messages::file_detail, name.c_str(), reason.c_str()));
}

}  // namespace

creation create_run_file(const std::string& name, const char* message, name_in_use taken, os_file& handle) {
    std::string reason;
    const creation outcome = create_new_file(name, run_file_caching(), handle, reason);
    if (outcome == creation::created || (outcome == creation::name_taken && taken == name_in_use::draw_again))
        return outcome;
    report_file_error(message, name, reason);
    return creation::failed;
}

void report_names_taken(const std::string& last_name) {
    record_fatal_error(format_text(messages::names_taken, name_draws, last_name.c_str()));
}

bool open_run_file(const std::string& name, const char* message, os_file& handle) {
    std::string reason;
    if (open_for_reading(name, run_file_caching(), handle, reason)) return true;
    report_file_error(message, name, reason);
    return false;
}
