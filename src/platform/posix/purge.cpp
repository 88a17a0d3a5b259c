#include <fcntl.h>
#include <unistd.h>

#include "platform/platform.hpp"

// Linux has no standby list to purge as a whole without privilege; instead each file's
// cached pages are dropped. They are clean by now (every file was forced to the device),
// so the kernel can let them go, for any user, without touching other processes' cache.
purge_failure purge_file_cache(const std::vector<std::string>& files) {
    bool fail = false;
    for (const std::string& name : files) {
        const int descriptor = open(name.c_str(), O_RDONLY);
        if (descriptor < 0) {
            fail = true;
            continue;
        }
        if (posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED) != 0) fail = true;
        close(descriptor);
    }
    return fail ? purge_failure::ntstatus : purge_failure::none;
}
