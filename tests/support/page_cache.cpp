#include "support/page_cache.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

std::size_t resident_pages(const std::string& name) {
    const int descriptor = open(name.c_str(), O_RDONLY);
    if (descriptor < 0) return SIZE_MAX;
    struct stat state {};
    if (fstat(descriptor, &state) != 0) {
        close(descriptor);
        return SIZE_MAX;
    }
    const std::size_t bytes = static_cast<std::size_t>(state.st_size);
    void* view = bytes > 0 ? mmap(nullptr, bytes, PROT_READ, MAP_SHARED, descriptor, 0) : nullptr;
    close(descriptor);
    if (bytes == 0) return 0;
    if (view == MAP_FAILED) return SIZE_MAX;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> residence((bytes + page - 1) / page);
    std::size_t in_memory = SIZE_MAX;
    if (mincore(view, bytes, residence.data()) == 0) {
        in_memory = 0;
        for (const unsigned char state_of_page : residence) in_memory += state_of_page & 1;
    }
    munmap(view, bytes);
    return in_memory;
}
