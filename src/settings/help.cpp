#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

void print_help() {
    std::string temp;
    if (!environment_variable("TEMP", temp)) temp = messages::temp_unset;
    print(messages::help, path.c_str(), block_size, file_size, file_number, thread_count, cache, repeat_count,
          temp.c_str(), directory_separator());
}
