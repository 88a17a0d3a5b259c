#include "report/reports.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "platform/system_info.hpp"
#include "report/json_report.hpp"
#include "report/saved_file.hpp"
#include "results/record.hpp"
#include "settings/settings.hpp"

namespace {

int write_reports(int status, const std::string& message) {
    if (json_path.empty()) return status;
    std::string reason;
    if (save_file(json_path, results_json(current_run, status, message), reason)) return status;
    print_on_own_line(format_text(messages::report_write, json_path.c_str(), reason.c_str()));
    return status == 0 ? 1 : status;
}

}  // namespace

void prepare_reports(const std::vector<std::string>& command_line) {
    current_run.command_line = command_line;
    current_run.started_utc = utc_now();
    if (json_path.empty()) return;
    std::string reason;
    if (!can_save_file(json_path, reason))
        report_error(true,
                     messages::report_refused + format_text(messages::file_detail, json_path.c_str(), reason.c_str()));
    install_end_hook(write_reports);
}
