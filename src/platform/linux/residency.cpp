#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/os_cache.hpp"

namespace {

// Pages asked of mincore at a time: a 64 KiB answer covers 256 MiB of file with 4 KiB pages.
constexpr std::size_t pages_per_query = 65536;

// Adds the file's pages and those the OS cache holds. The mapping is never touched, so
// looking brings no page in.
bool count_pages(os_directory directory, const directory_entry& entry, std::size_t page, cache_residency& residency) {
    os_file handle = no_file;
    std::string ignored;
    if (open_for_reading(directory, entry, file_caching::os_cache, handle, ignored) != opening::opened) return false;
    const int descriptor = static_cast<int>(handle);
    struct stat state {};
    const bool sized = fstat(descriptor, &state) == 0;
    const std::size_t size = sized ? static_cast<std::size_t>(state.st_size) : 0;
    void* view = size > 0 ? mmap(nullptr, size, PROT_READ, MAP_SHARED, descriptor, 0) : nullptr;
    close(descriptor);
    if (!sized || view == MAP_FAILED) return false;
    if (size == 0) return true;

    const std::size_t pages = (size + page - 1) / page;
    std::vector<unsigned char> states(std::min(pages, pages_per_query));
    bool answered = true;
    for (std::size_t first = 0; first < pages && answered; first += states.size()) {
        const std::size_t count = std::min(states.size(), pages - first);
        answered = mincore(static_cast<char*>(view) + first * page, count * page, states.data()) == 0;
        for (std::size_t k = 0; k < count && answered; ++k) residency.resident_pages += states[k] & 1;
    }
    residency.total_pages += pages;
    munmap(view, size);
    return answered;
}

}  // namespace

bool cached_part(os_directory directory, const std::vector<directory_entry>& files, cache_residency& residency) {
    residency = cache_residency{};
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    for (const directory_entry& entry : files)
        if (!count_pages(directory, entry, page, residency)) return false;
    return true;
}
