#include "settings/settings.hpp"

#include "common/random.hpp"

std::uint32_t block_size;
std::uint32_t file_size;
std::uint32_t blocks_per_file;
std::uint32_t file_number;
std::uint32_t thread_count;
std::uint32_t cache;
std::uint32_t repeat_count;
bool verify;
std::string path;
std::string json_path;
std::string html_path;
bool direct;

void initialize_settings() {
    seed_run();

    block_size = 100;
    file_size = 1024;
    file_number = 1;
    thread_count = 1;
    cache = 1;
    repeat_count = 1;
    verify = false;
    path.clear();
    json_path.clear();
    html_path.clear();
    direct = false;
    blocks_per_file = 0;
}
