// The run's files through the OS's own handles: a descriptor on POSIX, a HANDLE on Windows.
// Every call moves exactly what it is given, with no buffer of the C library in between.
// Names are UTF-8. On failure a call returns false and fills `reason` with the OS's text.
// A file opened `unbuffered` bypasses the OS cache: every buffer, size and offset of its reads
// and writes must then be aligned as unbuffered_io_alignment says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using os_file = std::intptr_t;
inline constexpr os_file no_file = -1;

// A directory opened once, in which files are then created, opened, purged and removed by
// their name in it: whatever later becomes of the path that named it (renamed, swapped for a
// link), they stay in the directory first opened. A name given with a directory is a single
// component, without a separator, and is never followed if it is a link.
using os_directory = std::intptr_t;
inline constexpr os_directory no_directory = -1;

bool open_directory(const std::string& path, os_directory& directory, std::string& reason);
void close_directory(os_directory directory);

// What tells one file from every other while it exists: device and inode on POSIX, volume
// serial number and file index on Windows. All zero when not known.
struct file_identity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    bool operator==(const file_identity&) const = default;
};
inline constexpr file_identity unknown_identity{};

bool identity_of(os_file handle, file_identity& identity, std::string& reason);

// One file in an opened directory: its name there and its identity, unknown for a file that
// this process did not create.
struct directory_entry {
    std::string name;
    file_identity identity;
};

// `no_space` when the disk, its table of files or the user's quota is full.
enum class creation { created, name_taken, no_space, failed };

// Whether a file's reads and writes go through the OS cache or bypass it.
enum class file_caching { os_cache, unbuffered };

// Creates `name` in `directory` for writing, never opening a file that exists already: a name
// in use, whoever made it and whatever it is (a link too), gives `name_taken` and leaves that
// file untouched. A failure leaves no file.
creation create_new_file(os_directory directory, const std::string& name, file_caching caching, os_file& handle,
                         std::string& reason);

// A file named by a whole path, links followed, as a program given a file to read opens it.
bool open_for_reading(const std::string& name, file_caching caching, os_file& handle, std::string& reason);

// Opens the file `entry` names in `directory` for reading, never through a link and never
// waiting on a FIFO. `changed` when the name holds anything but a regular file, or, when its
// identity is known, another file than the one created under it: someone put it there.
enum class opening { opened, changed, failed };
opening open_for_reading(os_directory directory, const directory_entry& entry, file_caching caching, os_file& handle,
                         std::string& reason);

// What unbuffered reads and writes need in `directory`: sizes and offsets multiples of
// `offset_alignment` bytes, buffers aligned to `memory_alignment`. `refused`, with the OS's
// reason, when the file system refuses to bypass the cache; `not_by_this_file_system` when
// it accepts unbuffered opens but says it serves them through the cache all the same;
// `on_network_share` (Windows) when the directory is on a share, whose redirector sends
// unbuffered I/O to the server as such, where no local probe can judge it.
// Leaves no file anyone can see.
enum class unbuffered_support { supported, refused, not_by_this_file_system, on_network_share };
unbuffered_support unbuffered_io_alignment(const std::string& directory, std::uint32_t& offset_alignment,
                                           std::uint32_t& memory_alignment, std::string& reason);

// Writes all `size` bytes, in one call unless the OS takes less.
bool write_all(os_file handle, const unsigned char* data, std::size_t size, std::string& reason);

// Reads up to `size` bytes, stopping short only at the end of the file; -1 on an error.
std::int64_t read_up_to(os_file handle, unsigned char* data, std::size_t size, std::string& reason);

// The same at an explicit offset, whatever the file's position: a worker's blocks.
bool write_all_at(os_file handle, const unsigned char* data, std::size_t size, std::uint64_t offset,
                  std::string& reason);
std::int64_t read_up_to_at(os_file handle, unsigned char* data, std::size_t size, std::uint64_t offset,
                           std::string& reason);

// Forces everything the OS holds of the file's data to the device.
bool force_to_device(os_file handle, std::string& reason);

// Starts sending the file's data to the device without waiting for it, so that forcing
// several files one after the other overlaps on the device.
void start_write_back(os_file handle);

bool close_file(os_file handle, std::string& reason);

// Removes the name `name` from `directory`, whatever it holds but a directory.
bool remove_file(os_directory directory, const std::string& name, std::string& reason);

// Drops what the OS caches of the data of the file `entry` names in `directory`, so that the
// next read of it comes from the device: `opened` once dropped, `changed` as open_for_reading
// tells it. The file must be closed everywhere and its data forced to the device already. The
// reason of a failure names the call that failed.
opening drop_cached_pages(os_directory directory, const directory_entry& entry, std::string& reason);
