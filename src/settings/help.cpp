#include <string>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/command_line.hpp"
#include "platform/directory.hpp"
#include "settings/options.hpp"
#include "settings/settings.hpp"

namespace {

std::string default_text(const option_row& row, const run_settings& defaults) {
    if (row.text != nullptr) return defaults.*row.text;
    return std::to_string(defaults.*row.number);
}

}  // namespace

std::string help_text(std::span<const option_row> options) {
    const run_settings defaults = default_settings(options);
    std::string help = messages::help_heading;
    for (const option_row& row : options) {
        help += row.help_shows_default ? format_text(messages::help_line_with_default, row.name, row.help,
                                                     default_text(row, defaults).c_str())
                                       : format_text(messages::help_line, row.name, row.help);
        if (row.help_continuation != nullptr) help += format_text(messages::help_line, "", row.help_continuation);
    }
    std::string temp;
    if (!environment_variable("TEMP", temp)) temp = messages::temp_unset;
    return help + format_text(messages::help_sample, temp.c_str(), directory_separator());
}
