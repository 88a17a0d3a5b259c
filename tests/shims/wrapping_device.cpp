// Loaded into quorlane with LD_PRELOAD: the test files act as one device that keeps
// DEVICE_KEEPS bytes, as a counterfeit stick does. Each 4 KiB piece of a test file takes the
// device's next free place in the order the pieces arrive, whatever file or worker wrote them,
// and once every place has been taken the next piece takes the first place again (the device's
// addresses wrap), over what was written there before; with DEVICE_LOSES=1 a piece past the
// capacity is dropped instead and reads back as zeros. A read reads what the piece's place
// holds now. DEVICE_FLIPS=N flips one bit of what the N-th piece (from 0) reads back, and
// DEVICE_READ_MS=M makes every read of a test file take M ms longer. The files' lengths are
// what was written to them, as the device claims; their data lives in the shim's memory.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr off_t piece_bytes = 4096;
constexpr std::int64_t no_place = -1;
constexpr int largest_tracked = 65536;

struct device_model {
    std::mutex lock;
    char* places = nullptr;  // DEVICE_KEEPS bytes, untouched pages costing nothing
    std::int64_t place_count = 0;
    std::int64_t pieces_written = 0;  // the next piece's number, in arrival order
    bool loses = false;
    std::int64_t flipped_piece = -1;
    long read_delay_ms = 0;
    // Per test file (by inode), each piece's number in arrival order, no_place for none yet.
    std::map<ino_t, std::vector<std::int64_t>> pieces;
};

long long setting(const char* name, long long otherwise) {
    const char* text = std::getenv(name);
    return text == nullptr ? otherwise : std::atoll(text);
}

device_model& device() {
    static device_model* model = [] {
        auto* made = new device_model;
        made->place_count = setting("DEVICE_KEEPS", 0) / piece_bytes;
        made->loses = setting("DEVICE_LOSES", 0) != 0;
        made->flipped_piece = setting("DEVICE_FLIPS", -1);
        made->read_delay_ms = static_cast<long>(setting("DEVICE_READ_MS", 0));
        if (made->place_count > 0) {
            void* memory = mmap(nullptr, static_cast<std::size_t>(made->place_count * piece_bytes),
                                PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            made->places = memory == MAP_FAILED ? nullptr : static_cast<char*>(memory);
        }
        return made;
    }();
    return *model;
}

bool tracked[largest_tracked];

bool is_tracked(int descriptor) { return descriptor >= 0 && descriptor < largest_tracked && tracked[descriptor]; }

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
    if (descriptor >= 0 && descriptor < largest_tracked)
        tracked[descriptor] = device().places != nullptr && is_test_file(name);
    return descriptor;
}

std::vector<std::int64_t>& pieces_of(device_model& model, int descriptor) {
    struct stat state {};
    fstat(descriptor, &state);
    return model.pieces[state.st_ino];
}

// Where the piece numbered `number` lives, or null when the device dropped it.
char* place_of(device_model& model, std::int64_t number) {
    if (model.loses && number >= model.place_count) return nullptr;
    return model.places + number % model.place_count * piece_bytes;
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

namespace {

// A write of a test file at `start`; the file's length follows, its position does not.
ssize_t write_at(int descriptor, const void* data, size_t size, off_t start) {
    device_model& model = device();
    const std::lock_guard<std::mutex> guard(model.lock);
    std::vector<std::int64_t>& pieces = pieces_of(model, descriptor);
    const auto* bytes = static_cast<const char*>(data);
    for (size_t done = 0; done < size;) {
        const off_t at = start + static_cast<off_t>(done);
        const auto piece = static_cast<std::size_t>(at / piece_bytes);
        const size_t part = std::min(size - done, static_cast<size_t>(piece_bytes - at % piece_bytes));
        if (pieces.size() <= piece) pieces.resize(piece + 1, no_place);
        // A piece takes a place when it is begun; the rest of it goes to the same place.
        if (at % piece_bytes == 0 || pieces[piece] == no_place) pieces[piece] = model.pieces_written++;
        if (char* place = place_of(model, pieces[piece])) std::memcpy(place + at % piece_bytes, bytes + done, part);
        done += part;
    }
    const off_t end = start + static_cast<off_t>(size);
    struct stat state {};
    if (fstat(descriptor, &state) == 0 && state.st_size < end && ftruncate(descriptor, end) != 0) return -1;
    return static_cast<ssize_t>(size);
}

ssize_t read_at(int descriptor, void* data, size_t size, off_t start) {
    device_model& model = device();
    if (model.read_delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(model.read_delay_ms));
    const std::lock_guard<std::mutex> guard(model.lock);
    struct stat state {};
    if (fstat(descriptor, &state) != 0) return -1;
    if (start >= state.st_size) return 0;
    size = std::min(size, static_cast<size_t>(state.st_size - start));
    const std::vector<std::int64_t>& pieces = pieces_of(model, descriptor);
    auto* bytes = static_cast<char*>(data);
    for (size_t done = 0; done < size;) {
        const off_t at = start + static_cast<off_t>(done);
        const auto piece = static_cast<std::size_t>(at / piece_bytes);
        const size_t part = std::min(size - done, static_cast<size_t>(piece_bytes - at % piece_bytes));
        const std::int64_t number = piece < pieces.size() ? pieces[piece] : no_place;
        const char* place = number == no_place ? nullptr : place_of(model, number);
        if (place == nullptr)
            std::memset(bytes + done, 0, part);
        else
            std::memcpy(bytes + done, place + at % piece_bytes, part);
        // One bit of the piece, whichever part of it this read holds.
        constexpr off_t flipped_byte = 100;
        if (number == model.flipped_piece && at % piece_bytes <= flipped_byte &&
            flipped_byte < at % piece_bytes + static_cast<off_t>(part))
            bytes[done + static_cast<size_t>(flipped_byte - at % piece_bytes)] ^= 0x10;
        done += part;
    }
    return static_cast<ssize_t>(size);
}

}  // namespace

extern "C" ssize_t write(int descriptor, const void* data, size_t size) {
    static const auto real = next_definition<ssize_t (*)(int, const void*, size_t)>("write");
    if (!is_tracked(descriptor)) return real(descriptor, data, size);
    const off_t start = lseek(descriptor, 0, SEEK_CUR);
    const ssize_t written = write_at(descriptor, data, size, start);
    if (written > 0) lseek(descriptor, start + written, SEEK_SET);
    return written;
}

extern "C" ssize_t read(int descriptor, void* data, size_t size) {
    static const auto real = next_definition<ssize_t (*)(int, void*, size_t)>("read");
    if (!is_tracked(descriptor)) return real(descriptor, data, size);
    const off_t start = lseek(descriptor, 0, SEEK_CUR);
    const ssize_t got = read_at(descriptor, data, size, start);
    if (got > 0) lseek(descriptor, start + got, SEEK_SET);
    return got;
}

extern "C" ssize_t pwrite(int descriptor, const void* data, size_t size, off_t offset) {
    static const auto real = next_definition<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    if (!is_tracked(descriptor)) return real(descriptor, data, size, offset);
    return write_at(descriptor, data, size, offset);
}

extern "C" ssize_t pread(int descriptor, void* data, size_t size, off_t offset) {
    static const auto real = next_definition<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    if (!is_tracked(descriptor)) return real(descriptor, data, size, offset);
    return read_at(descriptor, data, size, offset);
}

// The same calls under their large-file names, which x86-64 makes one with the above but
// other callers may still name.
extern "C" ssize_t pwrite64(int descriptor, const void* data, size_t size, off_t offset) {
    return pwrite(descriptor, data, size, offset);
}

extern "C" ssize_t pread64(int descriptor, void* data, size_t size, off_t offset) {
    return pread(descriptor, data, size, offset);
}

extern "C" int close(int descriptor) {
    static const auto real = next_definition<int (*)(int)>("close");
    if (descriptor >= 0 && descriptor < largest_tracked) tracked[descriptor] = false;
    return real(descriptor);
}
