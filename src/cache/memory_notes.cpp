// Notes for figures that would show memory speeds as the disk's; none of them stops the run.
#include "cache/cache.hpp"
#include "common/file_name.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/os_cache.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

void note_memory_file_system() {
    file_system_type type;
    if (file_system_of(path, type) && type.in_memory)
        print_on_own_line(format_text(messages::memory_file_system, path.c_str(), type.name.c_str()));
}

bool test_files_cached(const std::vector<std::string>& files, cache_residency& residency) {
    // The eviction file is not read in the timed phase: only the test files count.
    std::vector<std::string> test_files;
    for (const std::string& name : files)
        if (name != eviction_file_path) test_files.push_back(name);
    return cached_part(test_files, residency) && residency.total_pages > 0;
}

namespace {
// The share held, in whole percent, when more than 1 % is: below that, pages at the files'
// edges or read by another process mean nothing.
bool share_worth_a_note(const cache_residency& residency, unsigned long long& percent) {
    if (residency.total_pages == 0 || residency.resident_pages * 100 <= residency.total_pages) return false;
    percent = residency.resident_pages * 100 / residency.total_pages;
    return true;
}
}  // namespace

void note_still_cached(const cache_residency& residency) {
    unsigned long long percent = 0;
    if (share_worth_a_note(residency, percent)) print_on_own_line(format_text(messages::still_cached, percent));
}

void note_cached_after_unbuffered_write(const cache_residency& residency) {
    unsigned long long percent = 0;
    if (share_worth_a_note(residency, percent)) print_on_own_line(format_text(messages::direct_kept_cached, percent));
}
