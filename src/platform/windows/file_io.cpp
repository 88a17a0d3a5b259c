#include "platform/file_io.hpp"

#include <algorithm>
#include <atomic>
#include <map>
#include <optional>

#include "platform/file_system.hpp"
#include "platform/windows/closing.hpp"
#include "platform/windows/relative_file.hpp"
#include "platform/windows/text.hpp"

namespace {

HANDLE as_handle(os_file handle) { return reinterpret_cast<HANDLE>(handle); }

// A closed console leaves seconds to end: the files must go even while the flush, which
// can't be cancelled, still holds them. They vanish when the last handle closes.
constexpr DWORD run_file_sharing = FILE_SHARE_READ | FILE_SHARE_DELETE;

ULONG caching_options(file_caching caching) {
    return caching == file_caching::unbuffered ? FILE_NO_INTERMEDIATE_BUFFERING : 0;
}

// What open_for_reading tells of a name that held no regular file of the run's: a directory,
// or (with the expected identity known) another file.
bool held_by_another(const relative_open& opened, const directory_entry& entry) {
    if (opened.status == static_cast<LONG>(0xC00000BAL)) return true;  // STATUS_FILE_IS_A_DIRECTORY
    if (opened.handle == INVALID_HANDLE_VALUE) return false;
    return is_reparse_point(opened.handle) ||
           (entry.identity != unknown_identity && identity_of_handle(opened.handle) != entry.identity);
}

// An antivirus or the indexer may open a file just written, for a moment: a deletion it
// blocks is tried again for about 2 s before the file counts as left behind.
constexpr DWORD deletion_retry_ms = 2000;
constexpr DWORD deletion_retry_step_ms = 50;

// ERROR_DISK_QUOTA_EXCEEDED, which mingw-w64's headers lack.
constexpr DWORD disk_quota_exceeded = 1295;

}  // namespace

// Without FILE_SHARE_DELETE, the directory can't be renamed or removed while the run holds it.
bool open_directory(const std::string& path, os_directory& directory, std::string& reason) {
    const HANDLE opened = CreateFileW(file_api_path(path).c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return fail_with_last_error(reason);
    directory = reinterpret_cast<os_directory>(opened);
    return true;
}

void close_directory(os_directory directory) {
    if (directory != no_directory) CloseHandle(reinterpret_cast<HANDLE>(directory));
}

bool identity_of(os_file handle, file_identity& identity, std::string& reason) {
    identity = identity_of_handle(as_handle(handle));
    return identity != unknown_identity || fail_with_last_error(reason);
}

// FILE_CREATE fails on any name in use, a reparse point's too.
creation create_new_file(os_directory directory, const std::string& name, file_caching caching, os_file& handle,
                         std::string& reason) {
    const relative_open created =
        open_relative(directory, name, GENERIC_WRITE | DELETE, run_file_sharing, FILE_CREATE,
                      FILE_NON_DIRECTORY_FILE | caching_options(caching), FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (created.handle == INVALID_HANDLE_VALUE) {
        reason = windows_error_text(created.error);
        if (created.error == ERROR_FILE_EXISTS || created.error == ERROR_ALREADY_EXISTS) return creation::name_taken;
        const bool full = created.error == ERROR_DISK_FULL || created.error == ERROR_HANDLE_DISK_FULL ||
                          created.error == disk_quota_exceeded;
        return full ? creation::no_space : creation::failed;
    }
    handle = reinterpret_cast<os_file>(created.handle);
    return creation::created;
}

bool open_for_reading(const std::string& name, file_caching caching, os_file& handle, std::string& reason) {
    const HANDLE opened =
        CreateFileW(file_api_path(name).c_str(), GENERIC_READ | DELETE, run_file_sharing, nullptr, OPEN_EXISTING,
                    FILE_FLAG_SEQUENTIAL_SCAN | (caching == file_caching::unbuffered ? FILE_FLAG_NO_BUFFERING : 0),
                    nullptr);
    if (opened == INVALID_HANDLE_VALUE) return fail_with_last_error(reason);
    handle = reinterpret_cast<os_file>(opened);
    return true;
}

opening open_for_reading(os_directory directory, const directory_entry& entry, file_caching caching, os_file& handle,
                         std::string& reason) {
    const relative_open opened =
        open_relative(directory, entry.name, GENERIC_READ | DELETE, run_file_sharing, FILE_OPEN,
                      FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SEQUENTIAL_ONLY | caching_options(caching));
    if (held_by_another(opened, entry)) {
        if (opened.handle != INVALID_HANDLE_VALUE) CloseHandle(opened.handle);
        return opening::changed;
    }
    if (opened.handle == INVALID_HANDLE_VALUE) {
        reason = windows_error_text(opened.error);
        return opening::failed;
    }
    handle = reinterpret_cast<os_file>(opened.handle);
    return opening::opened;
}

namespace {

// A synchronous handle's call at `offset`, given in an OVERLAPPED it waits on itself.
OVERLAPPED at_offset(std::uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

// The blocks' calls, at the file's own position (`offset` empty) or at `offset`.
bool write_fully(HANDLE file, const unsigned char* data, std::size_t size, std::optional<std::uint64_t> offset,
                 std::string& reason) {
    while (size > 0) {
        DWORD written = 0;
        OVERLAPPED position = at_offset(offset.value_or(0));
        if (!WriteFile(file, data, static_cast<DWORD>(size), &written, offset ? &position : nullptr))
            return fail_with_last_error(reason);
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return fail_with_last_error(reason);
        }
        data += written;
        size -= written;
        if (offset) *offset += written;
    }
    return true;
}

std::int64_t read_fully(HANDLE file, unsigned char* data, std::size_t size, std::optional<std::uint64_t> offset,
                        std::string& reason) {
    std::size_t done = 0;
    while (done < size) {
        DWORD got = 0;
        OVERLAPPED position = at_offset(offset.value_or(0) + done);
        if (!ReadFile(file, data + done, static_cast<DWORD>(size - done), &got, offset ? &position : nullptr)) {
            // A read at an offset at or past the end of the file fails with this, where the
            // position's own read returns nothing.
            if (offset && GetLastError() == ERROR_HANDLE_EOF) break;
            fail_with_last_error(reason);
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace

bool write_all(os_file handle, const unsigned char* data, std::size_t size, std::string& reason) {
    return write_fully(as_handle(handle), data, size, std::nullopt, reason);
}

std::int64_t read_up_to(os_file handle, unsigned char* data, std::size_t size, std::string& reason) {
    return read_fully(as_handle(handle), data, size, std::nullopt, reason);
}

bool write_all_at(os_file handle, const unsigned char* data, std::size_t size, std::uint64_t offset,
                  std::string& reason) {
    return write_fully(as_handle(handle), data, size, offset, reason);
}

std::int64_t read_up_to_at(os_file handle, unsigned char* data, std::size_t size, std::uint64_t offset,
                           std::string& reason) {
    return read_fully(as_handle(handle), data, size, offset, reason);
}

namespace {

// Windows has no call that starts a file's write-back without waiting for it: a flush of the
// file's own handle, from the system's thread pool, stands in for it, so that files forced
// one after the other are written out together, as Linux does. Each has its event, set once
// its flush is over. The callback and the file's owner both hold the record, and the last to
// let go closes the event: a handle closed while the callback may still set it would be
// signalled later under another object's name, its value given to a new handle meanwhile.
struct background_flush {
    HANDLE file;
    HANDLE over;
    std::atomic<int> holders{2};
};

void release(background_flush* flush) {
    if (flush->holders.fetch_sub(1) != 1) return;
    CloseHandle(flush->over);
    delete flush;
}

SRWLOCK background_lock = SRWLOCK_INIT;
// Never destroyed: a flush may still be under way while the process ends.
std::map<os_file, background_flush*>& background_flushes = *new std::map<os_file, background_flush*>;

// The file's background flush, no longer findable by its handle; null when there is none.
background_flush* taken_flush(os_file handle) {
    AcquireSRWLockExclusive(&background_lock);
    background_flush* flush = nullptr;
    const auto found = background_flushes.find(handle);
    if (found != background_flushes.end()) {
        flush = found->second;
        background_flushes.erase(found);
    }
    ReleaseSRWLockExclusive(&background_lock);
    return flush;
}

void CALLBACK flush_in_background(PTP_CALLBACK_INSTANCE, void* context) {
    auto* flush = static_cast<background_flush*>(context);
    FlushFileBuffers(flush->file);
    CloseHandle(flush->file);
    SetEvent(flush->over);
    release(flush);
}

}  // namespace

// The background flush has a handle of its own: the file may be closed, or deleted, before it
// ends. Where it can't be started, force_to_device does the whole work.
void start_write_back(os_file handle) {
    HANDLE file = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), as_handle(handle), GetCurrentProcess(), &file, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return;
    const HANDLE over = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (over == nullptr) {
        CloseHandle(file);
        return;
    }
    auto* flush = new background_flush{file, over};
    // Recorded first: the callback may be over, and its hold released, before submission returns.
    AcquireSRWLockExclusive(&background_lock);
    background_flushes[handle] = flush;
    ReleaseSRWLockExclusive(&background_lock);
    if (!TrySubmitThreadpoolCallback(flush_in_background, flush, nullptr)) {
        taken_flush(handle);
        CloseHandle(file);
        CloseHandle(over);
        delete flush;
    }
}

// After the background flush, a flush of what is left, quick, which gives the result.
bool force_to_device(os_file handle, std::string& reason) {
    if (background_flush* flush = taken_flush(handle)) {
        WaitForSingleObject(flush->over, INFINITE);
        release(flush);
    }
    return FlushFileBuffers(as_handle(handle)) || fail_with_last_error(reason);
}

// A file closed unforced, as a stopped run closes its files, leaves its background flush to
// end on its own handle.
bool close_file(os_file handle, std::string& reason) {
    if (background_flush* flush = taken_flush(handle)) release(flush);
    return CloseHandle(as_handle(handle)) || fail_with_last_error(reason);
}

// The name goes when the last handle to the file closes, as DeleteFile's does. While the
// console is closing, the retries end with the time the system leaves.
bool remove_file(os_directory directory, const std::string& name, std::string& reason) {
    for (DWORD waited = 0;; waited += deletion_retry_step_ms) {
        const relative_open opened =
            open_relative(directory, name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                          FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_DELETE_ON_CLOSE);
        if (opened.handle != INVALID_HANDLE_VALUE) return CloseHandle(opened.handle) || fail_with_last_error(reason);
        reason = windows_error_text(opened.error);
        if ((opened.error != ERROR_SHARING_VIOLATION && opened.error != ERROR_ACCESS_DENIED) ||
            waited >= std::min(deletion_retry_ms, closing_time_left_ms()))
            return false;
        Sleep(deletion_retry_step_ms);
    }
}

// Opening a file uncached makes Windows write out and drop every cached page of it, when no
// other handle holds it open; that needs no privilege, unlike purging the standby list.
opening drop_cached_pages(os_directory directory, const directory_entry& entry, std::string& reason) {
    const relative_open opened =
        open_relative(directory, entry.name, GENERIC_READ, FILE_SHARE_READ, FILE_OPEN,
                      FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_NO_INTERMEDIATE_BUFFERING);
    const bool changed = held_by_another(opened, entry);
    if (opened.handle != INVALID_HANDLE_VALUE) CloseHandle(opened.handle);
    if (changed) return opening::changed;
    if (opened.handle != INVALID_HANDLE_VALUE) return opening::opened;
    reason = windows_error_text(opened.error);
    return opening::failed;
}

namespace {

// A redirector or a third-party file system may take FILE_FLAG_NO_BUFFERING and cache all
// the same. One that bypasses the cache refuses a write of part of a sector, as Windows' own
// do; the probe, a file of this process's own, is gone when closed.
unbuffered_support probe_unbuffered_write(const std::string& directory, std::string& reason) {
    const std::string name = directory + "vellumcrate_probe" + std::to_string(GetCurrentProcessId());
    const HANDLE probe = CreateFileW(file_api_path(name).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_FLAG_NO_BUFFERING | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        fail_with_last_error(reason);
        return unbuffered_support::refused;
    }
    alignas(4096) static const unsigned char sector[4096] = {};
    DWORD written = 0;
    const bool accepted = WriteFile(probe, sector, 1, &written, nullptr);
    const DWORD code = GetLastError();
    CloseHandle(probe);
    if (accepted) return unbuffered_support::not_by_this_file_system;
    if (code == ERROR_INVALID_PARAMETER) return unbuffered_support::supported;
    reason = windows_error_text(code);
    return unbuffered_support::refused;
}

}  // namespace

// Unbuffered transfers are whole sectors of the volume. Their buffers must also start on the
// device's physical sectors: 4096 bytes at most on today's devices, which every buffer is
// aligned to already.
unbuffered_support unbuffered_io_alignment(const std::string& directory, std::uint32_t& offset_alignment,
                                           std::uint32_t& memory_alignment, std::string& reason) {
    const std::wstring wide = file_api_path(directory);
    std::wstring volume(wide.size() + MAX_PATH, L'\0');
    DWORD sectors_per_cluster = 0;
    DWORD bytes_per_sector = 0;
    DWORD free_clusters = 0;
    DWORD clusters = 0;
    if (!GetVolumePathNameW(wide.c_str(), volume.data(), static_cast<DWORD>(volume.size())) ||
        !GetDiskFreeSpaceW(volume.c_str(), &sectors_per_cluster, &bytes_per_sector, &free_clusters, &clusters)) {
        fail_with_last_error(reason);
        return unbuffered_support::refused;
    }
    offset_alignment = memory_alignment = bytes_per_sector;
    // The probe's premise, a device refusing part of a sector, holds for local volumes only:
    // SMB carries unbuffered writes to the server, whose file system decides.
    file_system_type type;
    if (file_system_of(directory, type) && type.other_cache == cache_beyond_purge::network_server)
        return unbuffered_support::on_network_share;
    return probe_unbuffered_write(directory, reason);
}
