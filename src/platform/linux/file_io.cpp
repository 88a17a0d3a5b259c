// Unbuffered I/O is Linux's O_DIRECT; its alignment comes from statx or the device.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <system_error>

#include "platform/file_io.hpp"
#include "platform/linux/errno_text.hpp"

namespace {

// The alignment assumed when neither the file system nor a device tells: the page size.
constexpr std::uint32_t page_bytes = 4096;

// The logical block size of the device `major`:`minor`, read from its queue in sysfs, or from
// its disk's for a partition; 0 when there is no such device (tmpfs, network file systems).
std::uint32_t logical_block_size(std::uint32_t major, std::uint32_t minor) {
    if (major == 0) return 0;
    const std::string device = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    for (const char* queue : {"/queue/logical_block_size", "/../queue/logical_block_size"}) {
        std::ifstream file(device + queue);
        std::uint32_t bytes = 0;
        if (file >> bytes && bytes > 0) return bytes;
    }
    return 0;
}

}  // namespace

bool open_directory(const std::string& path, os_directory& directory, std::string& reason) {
    const int descriptor = open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return fail_with_errno(reason);
    directory = descriptor;
    return true;
}

void close_directory(os_directory directory) {
    if (directory != no_directory) close(static_cast<int>(directory));
}

bool identity_of(os_file handle, file_identity& identity, std::string& reason) {
    struct stat state {};
    if (fstat(static_cast<int>(handle), &state) != 0) return fail_with_errno(reason);
    identity = file_identity{static_cast<std::uint64_t>(state.st_dev), static_cast<std::uint64_t>(state.st_ino)};
    return true;
}

// O_EXCL fails on any name in use, a link's too, even one that points nowhere.
creation create_new_file(os_directory directory, const std::string& name, file_caching caching, os_file& handle,
                         std::string& reason) {
    const int folder = static_cast<int>(directory);
    const int descriptor = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        const int code = errno;
        fail_with_errno(reason);
        if (code == EEXIST) return creation::name_taken;
        return code == ENOSPC || code == EDQUOT ? creation::no_space : creation::failed;
    }
    // O_DIRECT is set once the file exists: a file system that refuses it in open() has
    // created the file all the same, and this one is surely the run's own to remove.
    if (caching == file_caching::unbuffered && fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) | O_DIRECT) != 0) {
        fail_with_errno(reason);
        close(descriptor);
        unlinkat(folder, name.c_str(), 0);
        return creation::failed;
    }
    handle = descriptor;
    return creation::created;
}

bool open_for_reading(const std::string& name, file_caching caching, os_file& handle, std::string& reason) {
    const int descriptor =
        open(name.c_str(), O_RDONLY | O_CLOEXEC | (caching == file_caching::unbuffered ? O_DIRECT : 0));
    if (descriptor < 0) return fail_with_errno(reason);
    handle = descriptor;
    return true;
}

// O_NONBLOCK lets a FIFO put in the file's place open at once, to be refused; a regular file
// then reads without it.
opening open_for_reading(os_directory directory, const directory_entry& entry, file_caching caching, os_file& handle,
                         std::string& reason) {
    const int descriptor =
        openat(static_cast<int>(directory), entry.name.c_str(),
               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (caching == file_caching::unbuffered ? O_DIRECT : 0));
    if (descriptor < 0) {
        const bool link = errno == ELOOP;
        fail_with_errno(reason);
        return link ? opening::changed : opening::failed;
    }
    struct stat state {};
    if (fstat(descriptor, &state) != 0) {
        fail_with_errno(reason);
        close(descriptor);
        return opening::failed;
    }
    const file_identity found{static_cast<std::uint64_t>(state.st_dev), static_cast<std::uint64_t>(state.st_ino)};
    if (!S_ISREG(state.st_mode) || (entry.identity != unknown_identity && found != entry.identity)) {
        close(descriptor);
        return opening::changed;
    }
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    handle = descriptor;
    return opening::opened;
}

namespace {

// The blocks' calls, at the file's own position (`offset` empty) or at `offset`, where the
// position stays where it was.
bool write_fully(int descriptor, const unsigned char* data, std::size_t size, std::optional<std::uint64_t> offset,
                 std::string& reason) {
    while (size > 0) {
        const ssize_t written = offset ? pwrite(descriptor, data, size, static_cast<off_t>(*offset))
                                       : write(descriptor, data, size);
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
        if (offset) *offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

std::int64_t read_fully(int descriptor, unsigned char* data, std::size_t size, std::optional<std::uint64_t> offset,
                        std::string& reason) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = offset ? pread(descriptor, data + done, size - done, static_cast<off_t>(*offset + done))
                                   : read(descriptor, data + done, size - done);
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

}  // namespace

bool write_all(os_file handle, const unsigned char* data, std::size_t size, std::string& reason) {
    return write_fully(static_cast<int>(handle), data, size, std::nullopt, reason);
}

std::int64_t read_up_to(os_file handle, unsigned char* data, std::size_t size, std::string& reason) {
    return read_fully(static_cast<int>(handle), data, size, std::nullopt, reason);
}

bool write_all_at(os_file handle, const unsigned char* data, std::size_t size, std::uint64_t offset,
                  std::string& reason) {
    return write_fully(static_cast<int>(handle), data, size, offset, reason);
}

std::int64_t read_up_to_at(os_file handle, unsigned char* data, std::size_t size, std::uint64_t offset,
                           std::string& reason) {
    return read_fully(static_cast<int>(handle), data, size, offset, reason);
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

bool remove_file(os_directory directory, const std::string& name, std::string& reason) {
    return unlinkat(static_cast<int>(directory), name.c_str(), 0) == 0 || fail_with_errno(reason);
}

// The pages are clean (forced to the device), so the kernel lets them go, for any user,
// without touching the cache of other processes' files. The reason names the call that failed.
opening drop_cached_pages(os_directory directory, const directory_entry& entry, std::string& reason) {
    os_file handle = no_file;
    const opening opened = open_for_reading(directory, entry, file_caching::os_cache, handle, reason);
    if (opened != opening::opened) {
        reason = "open: " + reason;
        return opened;
    }
    const int descriptor = static_cast<int>(handle);
    const int advice = posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
    close(descriptor);
    if (advice == 0) return opening::opened;
    reason = "posix_fadvise POSIX_FADV_DONTNEED: " + std::generic_category().message(advice);
    return opening::failed;
}

unbuffered_support unbuffered_io_alignment(const std::string& directory, std::uint32_t& offset_alignment,
                                           std::uint32_t& memory_alignment, std::string& reason) {
    // An unnamed file, gone when closed, tells whether the file system takes O_DIRECT. When
    // unnamed files can't be made there either, the refusal is not O_DIRECT's: the run's first
    // file gives the reason.
    const int probe = open(directory.c_str(), O_TMPFILE | O_WRONLY | O_DIRECT | O_CLOEXEC, 0600);
    if (probe < 0) {
        fail_with_errno(reason);
        const int plain = open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (plain >= 0) {
            close(plain);
            return unbuffered_support::refused;
        }
    }
    struct statx state {};
    const bool known = probe >= 0 ? statx(probe, "", AT_EMPTY_PATH, STATX_DIOALIGN, &state) == 0
                                  : statx(AT_FDCWD, directory.c_str(), 0, STATX_DIOALIGN, &state) == 0;
    if (probe >= 0) close(probe);
    // An answer of 0 is the kernel saying that this file system can't do direct I/O on its
    // files (ext4 with data=journal): O_DIRECT opens succeed there, but go through the cache.
    if (known && (state.stx_mask & STATX_DIOALIGN) != 0 && state.stx_dio_offset_align == 0) {
        return unbuffered_support::not_by_this_file_system;
    }
    if (known && (state.stx_mask & STATX_DIOALIGN) != 0) {
        offset_alignment = state.stx_dio_offset_align;
        memory_alignment = state.stx_dio_mem_align;
        return unbuffered_support::supported;
    }
    // Kernels before 6.1, and file systems that don't say: what the device's blocks ask.
    const std::uint32_t block = known ? logical_block_size(state.stx_dev_major, state.stx_dev_minor) : 0;
    offset_alignment = memory_alignment = block != 0 ? block : page_bytes;
    return unbuffered_support::supported;
}
