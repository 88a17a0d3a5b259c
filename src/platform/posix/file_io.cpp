#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/file_io.hpp"

namespace {

bool fail_with_errno(std::string& reason) {
    reason = std::generic_category().message(errno);
    return false;
}

}  // namespace

creation create_new_file(const std::string& name, os_file& handle, std::string& reason) {
    const int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        const bool taken = errno == EEXIST;
        fail_with_errno(reason);
        return taken ? creation::name_taken : creation::failed;
    }
    handle = descriptor;
    return creation::created;
}

bool open_for_reading(const std::string& name, os_file& handle, std::string& reason) {
    const int descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return fail_with_errno(reason);
    handle = descriptor;
    return true;
}

bool write_all(os_file handle, const unsigned char* data, std::size_t size, std::string& reason) {
    while (size > 0) {
        const ssize_t written = write(static_cast<int>(handle), data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return fail_with_errno(reason);
        }
        // A write that takes nothing without an error would loop for ever: the device is full.
        if (written == 0) {
            errno = ENOSPC;
            return fail_with_errno(reason);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::int64_t read_up_to(os_file handle, unsigned char* data, std::size_t size, std::string& reason) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(static_cast<int>(handle), data + done, size - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            fail_with_errno(reason);
            return -1;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

bool force_to_device(os_file handle, std::string& reason) {
    return fsync(static_cast<int>(handle)) == 0 || fail_with_errno(reason);
}

void start_write_back(os_file handle) {
#ifdef __linux__
    sync_file_range(static_cast<int>(handle), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)handle;
#endif
}

bool close_file(os_file handle, std::string& reason) {
    return close(static_cast<int>(handle)) == 0 || fail_with_errno(reason);
}

bool remove_file(const std::string& name, std::string& reason) {
    return unlink(name.c_str()) == 0 || fail_with_errno(reason);
}

// The pages are clean (forced to the device), so the kernel lets them go, for any user,
// without touching the cache of other processes' files.
bool drop_cached_pages(const std::string& name, std::string& reason) {
    const int descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return fail_with_errno(reason);
    const int advice = posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
    close(descriptor);
    if (advice == 0) return true;
    reason = std::generic_category().message(advice);
    return false;
}

bool replace_file(const std::string& from, const std::string& to, std::string& reason) {
    return rename(from.c_str(), to.c_str()) == 0 || fail_with_errno(reason);
}
