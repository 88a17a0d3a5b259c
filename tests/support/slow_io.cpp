// Ranks of different speeds for the MPI tests: loaded with LD_PRELOAD into every rank, it
// sleeps before each write to a regular file in the rank that SLOW_WRITE names, before each
// read of a test file (MPI's start reads many files of its own) in the rank that SLOW_READ
// names, and before each fsync in the rank that SLOW_FSYNC names, each given as
// "rank:milliseconds". Also loaded into Wine, as rank 0, to slow what FlushFileBuffers becomes.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

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

void pause_for(const char* variable) {
    const long milliseconds = delay_ms(variable);
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

template <typename function>
function next_definition(const char* name) {
    return reinterpret_cast<function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t write(int descriptor, const void* data, size_t size) {
    static const auto real_write = next_definition<ssize_t (*)(int, const void*, size_t)>("write");
    struct stat state {};
    if (fstat(descriptor, &state) == 0 && S_ISREG(state.st_mode)) pause_for("SLOW_WRITE");
    return real_write(descriptor, data, size);
}

extern "C" ssize_t read(int descriptor, void* data, size_t size) {
    static const auto real_read = next_definition<ssize_t (*)(int, void*, size_t)>("read");
    char name[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
    const ssize_t length = readlink(link.c_str(), name, sizeof name - 1);
    if (length > 0 && std::string(name, static_cast<std::size_t>(length)).find("/vellumcrate_") != std::string::npos)
        pause_for("SLOW_READ");
    return real_read(descriptor, data, size);
}

// With SLOW_FSYNC_NAME set, only the files whose path holds it are slowed.
bool named_for_slow_fsync(int descriptor) {
    const char* part = std::getenv("SLOW_FSYNC_NAME");
    if (part == nullptr) return true;
    char target[4096];
    const ssize_t length =
        readlink(("/proc/self/fd/" + std::to_string(descriptor)).c_str(), target, sizeof target - 1);
    return length > 0 && std::string(target, static_cast<std::size_t>(length)).find(part) != std::string::npos;
}

extern "C" int fsync(int descriptor) {
    static const auto real_fsync = next_definition<int (*)(int)>("fsync");
    if (named_for_slow_fsync(descriptor)) pause_for("SLOW_FSYNC");
    return real_fsync(descriptor);
}
