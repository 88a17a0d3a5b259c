#include "settings/settings.hpp"

#include <cstdlib>
#include <ctime>

#include "common/random.hpp"

std::uint32_t block_size;
std::uint32_t file_size;
std::uint32_t blocks_per_file;
std::uint32_t file_number;
std::uint32_t thread_count;
std::uint32_t cache;
std::string path;
std::string eviction_file_path;

void initialize_settings() {
    const std::time_t now = std::time(nullptr);
    std::srand(static_cast<unsigned>(now));
    run_seed = static_cast<std::uint64_t>(now);

    block_size = 100;
    file_size = 1024;
    file_number = 1;
    thread_count = 1;
    cache = 1;
    path.clear();
    eviction_file_path.clear();
    blocks_per_file = 0;
}
