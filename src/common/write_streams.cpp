#include "common/write_streams.hpp"

#include "settings/settings.hpp"

std::vector<std::FILE*> write_streams;
std::vector<std::uint32_t> files_created;

void prepare_write_streams() {
    write_streams.assign(std::size_t{thread_count} * file_number, nullptr);
    files_created.assign(thread_count, 0);
}

std::FILE*& write_stream(std::uint32_t thread_index, std::uint32_t index) {
    return write_streams[std::size_t{thread_index} * file_number + index];
}
