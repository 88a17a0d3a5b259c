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

enum class creation { created, name_taken, failed };

// Whether a file's reads and writes go through the OS cache or bypass it.
enum class file_caching { os_cache, unbuffered };

// Creates `name` for writing, never opening a file that exists already: a name in use,
// whoever made it, gives `name_taken` and leaves that file untouched. A failure leaves no file.
creation create_new_file(const std::string& name, file_caching caching, os_file& handle, std::string& reason);

bool open_for_reading(const std::string& name, file_caching caching, os_file& handle, std::string& reason);

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

// Forces everything the OS holds of the file's data to the device.
bool force_to_device(os_file handle, std::string& reason);

// Starts sending the file's data to the device without waiting for it, so that forcing
// several files one after the other overlaps on the device.
void start_write_back(os_file handle);

bool close_file(os_file handle, std::string& reason);

bool remove_file(const std::string& name, std::string& reason);

// Drops what the OS caches of the file's data, so that the next read of it comes from the
// device. The file must be closed everywhere and its data forced to the device already.
bool drop_cached_pages(const std::string& name, std::string& reason);

// Puts `from` in the place of `to` in one step, so that a reader of `to` sees either the old
// file or the whole new one. Both names are in the same directory.
bool replace_file(const std::string& from, const std::string& to, std::string& reason);
