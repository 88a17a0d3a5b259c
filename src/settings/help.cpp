#include <cstdlib>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

void print_help() {
    const char* temp = std::getenv("TEMP");
    print(messages::help, path.c_str(), block_size, file_size, file_number, thread_count, cache, repeat_count,
          temp != nullptr ? temp : messages::temp_unset, directory_separator());
}
