#include "run/run_file.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "settings/settings.hpp"

namespace {

file_caching run_file_caching() { return settings.direct ? file_caching::unbuffered : file_caching::os_cache; }

void report_file_error(run_state& run, const char* message, const std::string& name, const std::string& reason) {
    record_fatal_error(run, message + format_text(messages::file_detail, name.c_str(), reason.c_str()));
}

}  // namespace

creation create_under_drawn_name(const std::function<std::string()>& draw_name, file_caching caching, std::string& name,
                                 os_file& handle, std::string& reason) {
    creation outcome = creation::name_taken;
    for (int draw = 0; draw < name_draws && outcome == creation::name_taken; ++draw) {
        name = draw_name();
        outcome = create_new_file(name, caching, handle, reason);
    }
    return outcome;
}

bool create_run_file(run_state& run, const std::string& name, const char* message, os_file& handle) {
    std::string reason;
    const creation outcome = create_new_file(name, run_file_caching(), handle, reason);
    if (outcome == creation::created) return true;
    report_file_error(run, outcome == creation::no_space ? messages::when_full(message) : message, name, reason);
    return false;
}

bool create_run_file_drawn(run_state& run, const std::function<std::string()>& draw_name, const char* message, std::string& name,
                           os_file& handle) {
    std::string reason;
    switch (create_under_drawn_name(draw_name, run_file_caching(), name, handle, reason)) {
        case creation::created: return true;
        case creation::failed: report_file_error(run, message, name, reason); return false;
        case creation::no_space: report_file_error(run, messages::when_full(message), name, reason); return false;
        case creation::name_taken: break;
    }
    record_fatal_error(run, format_text(messages::names_taken, name_draws, name.c_str()));
    return false;
}

bool open_run_file(run_state& run, const std::string& name, const char* message, os_file& handle) {
    std::string reason;
    if (open_for_reading(name, run_file_caching(), handle, reason)) return true;
    report_file_error(run, message, name, reason);
    return false;
}
