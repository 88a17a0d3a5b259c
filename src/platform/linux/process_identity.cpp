#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "platform/process_identity.hpp"

namespace {

std::string first_word(const std::string& file) {
    std::ifstream stream(file);
    std::string word;
    stream >> word;
    return word;
}

// The start of process `process` in clock ticks since boot (field 22 of its stat file); empty
// when there is no such process, `unreadable` set when there may be one the system won't show.
std::string start_of(std::uint64_t process, bool& unreadable) {
    unreadable = false;
    std::ifstream stream("/proc/" + std::to_string(process) + "/stat");
    if (!stream) {
        unreadable = errno != ENOENT;
        return "";
    }
    std::string line;
    std::getline(stream, line);
    // The command's name, in parentheses, may hold spaces and parentheses: fields count from its end.
    const std::size_t name_end = line.rfind(')');
    if (name_end == std::string::npos) {
        unreadable = true;
        return "";
    }
    std::istringstream fields(line.substr(name_end + 1));
    std::string field;
    for (int index = 3; index <= 22 && fields >> field; ++index)
        if (index == 22) return field;
    unreadable = true;
    return "";
}

}  // namespace

process_stamp this_process_stamp() {
    process_stamp stamp;
    std::string machine = first_word("/etc/machine-id");
    if (machine.empty()) machine = first_word("/var/lib/dbus/machine-id");
    char namespace_link[64] = {};
    const ssize_t length = readlink("/proc/self/ns/pid", namespace_link, sizeof namespace_link - 1);
    if (!machine.empty() && length > 0) stamp.machine = machine + " " + std::string(namespace_link, length);
    stamp.boot = first_word("/proc/sys/kernel/random/boot_id");
    stamp.process = static_cast<std::uint64_t>(getpid());
    bool unreadable = false;
    stamp.started = start_of(stamp.process, unreadable);
    return stamp;
}

process_liveness liveness_of(const process_stamp& stamp) {
    static const process_stamp self = this_process_stamp();
    if (stamp.machine.empty() || stamp.machine != self.machine) return process_liveness::unknown;
    if (stamp.boot.empty() || self.boot.empty()) return process_liveness::unknown;
    if (stamp.boot != self.boot) return process_liveness::gone;
    // Asked of the kernel, not of /proc, which may hide other users' processes (hidepid).
    if (stamp.process == 0 || stamp.process > static_cast<std::uint64_t>(INT32_MAX)) return process_liveness::unknown;
    if (kill(static_cast<pid_t>(stamp.process), 0) != 0 && errno == ESRCH) return process_liveness::gone;
    bool unreadable = false;
    const std::string started = start_of(stamp.process, unreadable);
    if (unreadable || started.empty()) return process_liveness::unknown;
    return started == stamp.started ? process_liveness::running : process_liveness::gone;
}
