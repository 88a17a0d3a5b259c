// Ranks of different speeds for the MPI tests: loaded with LD_PRELOAD into every rank, it
// sleeps before each write to a regular file in the rank that SLOW_WRITE names, before each
// read of a test file (MPI's start reads many files of its own) in the rank that SLOW_READ
// names, and before each fsync in the rank that SLOW_FSYNC names, each given as
// "rank:milliseconds". Also loaded into Wine, as rank 0, to slow one step of quorlane.exe:
// SLOW_WRITE_NAME, SLOW_READ_NAME and SLOW_FSYNC_NAME slow only the files whose path holds
// them, SLOW_SPARE_NAME never slows those whose path holds it, SLOW_READ_SKIP lets that many
// reads pass first (to reach a later phase), and SLOW_SIGNAL names a file created as the first
// slowed call starts.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

// The milliseconds `variable` asks of this rank: 0 when it names another rank, or is unset.
long delay_ms(const char* variable) {
    const char* setting = std::getenv(variable);
    const char* rank = std::getenv("OMPI_COMM_WORLD_RANK");
    if (setting == nullptr || rank == nullptr) return 0;
    const std::string text(setting);
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || text.substr(0, colon) != rank) return 0;
    return std::atol(text.c_str() + colon + 1);
}

// Tells the test, once, that a slowed call has started: the step it wants is under way.
void signal_slowed() {
    static std::atomic<bool> signalled{false};
    const char* path = std::getenv("SLOW_SIGNAL");
    if (path == nullptr || signalled.exchange(true)) return;
    const int descriptor = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor >= 0) close(descriptor);
}

void pause_for(const char* variable) {
    const long milliseconds = delay_ms(variable);
    if (milliseconds <= 0) return;
    signal_slowed();
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The path of an open descriptor, empty when it has none.
std::string path_of(int descriptor) {
    char target[4096];
    const ssize_t length =
        readlink(("/proc/self/fd/" + std::to_string(descriptor)).c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

// True when `variable` is unset or the descriptor's path holds it, and SLOW_SPARE_NAME does not
// spare that path.
bool named_by(const char* variable, int descriptor) {
    const char* part = std::getenv(variable);
    const char* spared = std::getenv("SLOW_SPARE_NAME");
    if (part == nullptr && spared == nullptr) return true;
    const std::string path = path_of(descriptor);
    return (part == nullptr || path.find(part) != std::string::npos) &&
           (spared == nullptr || path.find(spared) == std::string::npos);
}

template <typename function>
function next_definition(const char* name) {
    return reinterpret_cast<function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

namespace {

void before_write(int descriptor) {
    struct stat state {};
    if (fstat(descriptor, &state) == 0 && S_ISREG(state.st_mode) && named_by("SLOW_WRITE_NAME", descriptor))
        pause_for("SLOW_WRITE");
}

void before_read(int descriptor) {
    static std::atomic<long> reads_passed{0};
    const std::string path = path_of(descriptor);
    if (path.find("/vellumcrate_") != std::string::npos && named_by("SLOW_READ_NAME", descriptor)) {
        const char* skip = std::getenv("SLOW_READ_SKIP");
        if (skip == nullptr || reads_passed.fetch_add(1) >= std::atol(skip)) pause_for("SLOW_READ");
    }
}

}  // namespace

// The position's calls and those at an offset, which the workers and Wine make, alike.
extern "C" ssize_t write(int descriptor, const void* data, size_t size) {
    static const auto real_write = next_definition<ssize_t (*)(int, const void*, size_t)>("write");
    before_write(descriptor);
    return real_write(descriptor, data, size);
}

extern "C" ssize_t pwrite(int descriptor, const void* data, size_t size, off_t offset) {
    static const auto real_pwrite = next_definition<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    before_write(descriptor);
    return real_pwrite(descriptor, data, size, offset);
}

extern "C" ssize_t pwrite64(int descriptor, const void* data, size_t size, off_t offset) {
    return pwrite(descriptor, data, size, offset);
}

extern "C" ssize_t read(int descriptor, void* data, size_t size) {
    static const auto real_read = next_definition<ssize_t (*)(int, void*, size_t)>("read");
    before_read(descriptor);
    return real_read(descriptor, data, size);
}

extern "C" ssize_t pread(int descriptor, void* data, size_t size, off_t offset) {
    static const auto real_pread = next_definition<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    before_read(descriptor);
    return real_pread(descriptor, data, size, offset);
}

extern "C" ssize_t pread64(int descriptor, void* data, size_t size, off_t offset) {
    return pread(descriptor, data, size, offset);
}

extern "C" int fsync(int descriptor) {
    static const auto real_fsync = next_definition<int (*)(int)>("fsync");
    if (named_by("SLOW_FSYNC_NAME", descriptor)) pause_for("SLOW_FSYNC");
    return real_fsync(descriptor);
}
