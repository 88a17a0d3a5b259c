#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/command_line.hpp"
#include "platform/directory.hpp"
#include "settings/settings.hpp"

void print_help() {
    std::string temp;
    if (!environment_variable("TEMP", temp)) temp = messages::temp_unset;
    print(messages::help, settings.target_directory.c_str(), settings.block_kib, settings.file_mib,
          settings.files_per_worker, settings.worker_count, settings.controller_cache_gib, settings.pass_count,
          temp.c_str(), directory_separator());
}
