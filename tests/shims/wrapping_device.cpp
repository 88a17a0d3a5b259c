// Loaded into quorlane with LD_PRELOAD: each test file acts as a device that keeps only its
// first WRAP_BYTES bytes, as a counterfeit stick does: a byte written past them lands at its
// offset modulo WRAP_BYTES, over what was written there before, and a read there reads what
// is at that offset. The file's length is what was written to it, as the device claims.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int largest_tracked = 65536;
bool wrapped[largest_tracked];

off_t wrap_bytes() {
    static const off_t bytes = [] {
        const char* setting = std::getenv("WRAP_BYTES");
        return setting == nullptr ? off_t{0} : static_cast<off_t>(std::atoll(setting));
    }();
    return bytes;
}

bool is_wrapped(int descriptor) { return descriptor >= 0 && descriptor < largest_tracked && wrapped[descriptor]; }

// The test files, not the eviction file nor the directory markers of quorlane-mpi.
bool is_test_file(const char* name) {
    const char* base = std::strrchr(name, '/');
    base = base == nullptr ? name : base + 1;
    return std::strncmp(base, "vellumcrate_", 12) == 0 && std::strncmp(base, "vellumcrate_cache", 17) != 0 &&
           std::strncmp(base, "vellumcrate_share", 17) != 0;
}

template <typename function>
function next_definition(const char* name) {
    return reinterpret_cast<function>(dlsym(RTLD_NEXT, name));
}

int track(int descriptor, const char* name) {
    if (descriptor >= 0 && descriptor < largest_tracked) wrapped[descriptor] = wrap_bytes() > 0 && is_test_file(name);
    return descriptor;
}

}  // namespace

extern "C" int open(const char* name, int flags, ...) {
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    static const auto real = next_definition<int (*)(const char*, int, ...)>("open");
    return track(real(name, flags, mode), name);
}

// The run creates and opens its files by their name in its directory.
extern "C" int openat(int directory, const char* name, int flags, ...) {
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    static const auto real = next_definition<int (*)(int, const char*, int, ...)>("openat");
    return track(real(directory, name, flags, mode), name);
}

extern "C" ssize_t write(int descriptor, const void* data, size_t size) {
    static const auto real = next_definition<ssize_t (*)(int, const void*, size_t)>("write");
    if (!is_wrapped(descriptor)) return real(descriptor, data, size);
    const off_t start = lseek(descriptor, 0, SEEK_CUR);
    const auto* bytes = static_cast<const char*>(data);
    for (size_t done = 0; done < size;) {
        const off_t at = (start + static_cast<off_t>(done)) % wrap_bytes();
        const size_t piece = std::min(size - done, static_cast<size_t>(wrap_bytes() - at));
        if (pwrite(descriptor, bytes + done, piece, at) != static_cast<ssize_t>(piece)) return -1;
        done += piece;
    }
    const off_t end = start + static_cast<off_t>(size);
    struct stat state {};
    if (fstat(descriptor, &state) == 0 && state.st_size < end && ftruncate(descriptor, end) != 0) return -1;
    lseek(descriptor, end, SEEK_SET);
    return static_cast<ssize_t>(size);
}

extern "C" ssize_t read(int descriptor, void* data, size_t size) {
    static const auto real = next_definition<ssize_t (*)(int, void*, size_t)>("read");
    if (!is_wrapped(descriptor)) return real(descriptor, data, size);
    const off_t start = lseek(descriptor, 0, SEEK_CUR);
    struct stat state {};
    if (fstat(descriptor, &state) != 0) return -1;
    if (start >= state.st_size) return 0;
    size = std::min(size, static_cast<size_t>(state.st_size - start));
    auto* bytes = static_cast<char*>(data);
    for (size_t done = 0; done < size;) {
        const off_t at = (start + static_cast<off_t>(done)) % wrap_bytes();
        const size_t piece = std::min(size - done, static_cast<size_t>(wrap_bytes() - at));
        if (pread(descriptor, bytes + done, piece, at) != static_cast<ssize_t>(piece)) return -1;
        done += piece;
    }
    lseek(descriptor, start + static_cast<off_t>(size), SEEK_SET);
    return static_cast<ssize_t>(size);
}

extern "C" int close(int descriptor) {
    static const auto real = next_definition<int (*)(int)>("close");
    if (descriptor >= 0 && descriptor < largest_tracked) wrapped[descriptor] = false;
    return real(descriptor);
}
