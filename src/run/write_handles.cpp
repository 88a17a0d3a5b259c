#include "run/write_handles.hpp"

#include "settings/settings.hpp"

std::vector<os_file> write_handles;
std::vector<std::uint32_t> files_created;

void prepare_write_handles() {
    write_handles.assign(std::size_t{settings.worker_count} * settings.files_per_worker, no_file);
    files_created.assign(settings.worker_count, 0);
}

os_file& write_handle(std::uint32_t thread_index, std::uint32_t index) {
    return write_handles[std::size_t{thread_index} * settings.files_per_worker + index];
}
