#include "common/output.hpp"
#include "common/stop.hpp"
#include "settings/settings.hpp"

void report_error(bool fatal, const std::string& message) {
    print_on_own_line(message);
    if (fatal) end_process(1, message);
}
