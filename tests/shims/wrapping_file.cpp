// A FUSE file system holding one file, "disk", that acts as a counterfeit stick: it offers
// OFFERED bytes but keeps KEPT, and its addresses wrap: a byte written at offset o past KEPT
// lands back at RESERVED + (o - RESERVED) modulo (KEPT - RESERVED), over what was written there
// before. The first RESERVED bytes, where a file system made on it keeps its tables and
// journal, are never written over, so that the file system stays whole while its files' data
// wraps. A loop device over it gives a real file system a device that keeps less than it offers.
// Usage: wrapping_file OFFERED KEPT RESERVED MOUNTPOINT; it serves in the background until
// unmounted.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* file_path = "/disk";

off_t offered = 0;
off_t reserved = 0;
std::vector<char> kept;

// Where the byte written at `offset` lands.
off_t place_of(off_t offset) {
    const auto capacity = static_cast<off_t>(kept.size());
    return offset < capacity ? offset : reserved + (offset - reserved) % (capacity - reserved);
}

int get_attributes(const char* path, struct stat* state, fuse_file_info*) {
    std::memset(state, 0, sizeof *state);
    if (std::strcmp(path, "/") == 0) {
        state->st_mode = S_IFDIR | 0755;
        state->st_nlink = 2;
        return 0;
    }
    if (std::strcmp(path, file_path) != 0) return -ENOENT;
    state->st_mode = S_IFREG | 0600;
    state->st_nlink = 1;
    state->st_size = offered;
    return 0;
}

int read_directory(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
                   fuse_readdir_flags) {
    if (std::strcmp(path, "/") != 0) return -ENOENT;
    fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buffer, file_path + 1, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    return 0;
}

// Every read and write reaches the daemon: no page cache of the file may hide the wrap.
int open_file(const char* path, fuse_file_info* file) {
    if (std::strcmp(path, file_path) != 0) return -ENOENT;
    file->direct_io = 1;
    return 0;
}

// Copies `size` bytes at `offset` between `outside` and the kept bytes, wrapping.
int transfer(char* outside, size_t size, off_t offset, bool writing) {
    if (offset >= offered) return 0;
    size = static_cast<size_t>(std::min<off_t>(static_cast<off_t>(size), offered - offset));
    const auto capacity = static_cast<off_t>(kept.size());
    for (size_t done = 0; done < size;) {
        const off_t at = place_of(offset + static_cast<off_t>(done));
        const size_t part = std::min(size - done, static_cast<size_t>(capacity - at));
        if (writing)
            std::memcpy(kept.data() + at, outside + done, part);
        else
            std::memcpy(outside + done, kept.data() + at, part);
        done += part;
    }
    return static_cast<int>(size);
}

int read_file(const char*, char* buffer, size_t size, off_t offset, fuse_file_info*) {
    return transfer(buffer, size, offset, false);
}

int write_file(const char*, const char* data, size_t size, off_t offset, fuse_file_info*) {
    return transfer(const_cast<char*>(data), size, offset, true);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    offered = std::atoll(argv[1]);
    const long long capacity = std::atoll(argv[2]);
    reserved = std::atoll(argv[3]);
    if (offered <= 0 || reserved < 0 || capacity <= reserved) return 2;
    kept.assign(static_cast<std::size_t>(capacity), 0);
    fuse_operations operations{};
    operations.getattr = get_attributes;
    operations.readdir = read_directory;
    operations.open = open_file;
    operations.read = read_file;
    operations.write = write_file;
    // One thread: the kept bytes need no lock.
    char* fuse_arguments[] = {argv[0], argv[4], const_cast<char*>("-s")};
    return fuse_main(3, fuse_arguments, &operations, nullptr);
}
