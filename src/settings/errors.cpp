#include <cstdlib>

#include "common/output.hpp"
#include "settings/settings.hpp"

void report_error(bool fatal, const std::string& message) {
    print_on_own_line(message);
    if (fatal) std::exit(1);
}
