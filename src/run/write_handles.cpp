#include "run/write_handles.hpp"

#include "settings/settings.hpp"

std::vector<os_file> write_handles;
std::vector<std::uint32_t> files_created;

void prepare_write_handles() {
    write_handles.assign(std::size_t{thread_count} * file_number, no_file);
    files_created.assign(thread_count, 0);
}

os_file& write_handle(std::uint32_t thread_index, std::uint32_t index) {
    return write_handles[std::size_t{thread_index} * file_number + index];
}
