#include "support/process.hpp"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>

namespace {

// Waits up to `timeout_ms` for output and reads it; false once both streams are closed.
bool read_available(child_process& process, int timeout_ms) {
    pollfd waiting[2] = {{process.output, POLLIN, 0}, {process.errors, POLLIN, 0}};
    if (process.output < 0 && process.errors < 0) return false;
    if (poll(waiting, 2, timeout_ms) <= 0) return true;
    if (waiting[0].revents != 0) read_into(process.output, process.text);
    if (waiting[1].revents != 0) read_into(process.errors, process.error_text);
    return true;
}

// Waits until the child has closed its output and ended, leaving it to be reaped; false
// when `limit` comes first.
bool wait_for_end(child_process& process, std::chrono::steady_clock::time_point limit) {
    while (read_available(process, 100))
        if (std::chrono::steady_clock::now() >= limit) return false;
    for (;;) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(process.pid), &info, WEXITED | WNOWAIT | WNOHANG) != 0 ||
            info.si_pid == process.pid)
            return true;
        if (std::chrono::steady_clock::now() >= limit) return false;
        usleep(10000);
    }
}

void close_pipes(child_process& process) {
    for (int* descriptor : {&process.output, &process.errors}) {
        if (*descriptor >= 0) close(*descriptor);
        *descriptor = -1;
    }
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

// Whether `variable` (NAME=value) is one that `environment` sets.
bool replaced(const char* variable, const std::vector<std::string>& environment) {
    const char* equals = std::strchr(variable, '=');
    const std::size_t name_size =
        equals == nullptr ? std::strlen(variable) : static_cast<std::size_t>(equals - variable);
    for (const std::string& entry : environment)
        if (entry.size() > name_size && entry[name_size] == '=' &&
            entry.compare(0, name_size, variable, name_size) == 0)
            return true;
    return false;
}

// In the child: `descriptors` become 3, 4, ... Each is first copied above them all, so that
// none is overwritten before its turn. No allocation: the test may have other threads.
bool hand_over(const std::vector<int>& descriptors) {
    int copies[8];
    const int count = static_cast<int>(descriptors.size());
    if (count > 8) return false;
    for (int index = 0; index < count; ++index) {
        copies[index] = fcntl(descriptors[static_cast<std::size_t>(index)], F_DUPFD, 3 + count);
        if (copies[index] < 0) return false;
    }
    for (int index = 0; index < count; ++index)
        if (dup2(copies[index], 3 + index) < 0) return false;
    for (int index = 0; index < count; ++index) close(copies[index]);
    return true;
}

}  // namespace

bool launch(child_process& process, const std::string& program, const std::vector<std::string>& arguments,
            const launch_options& options) {
    std::vector<std::string> texts{program};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable)
        if (std::strncmp(*variable, "TEMP=", 5) != 0 && !replaced(*variable, options.environment))
            variables.emplace_back(*variable);
    if (options.temp != nullptr) variables.push_back(std::string("TEMP=") + options.temp);
    variables.insert(variables.end(), options.environment.begin(), options.environment.end());
    const std::vector<char*> argv = pointers(texts);
    const std::vector<char*> envp = pointers(variables);

    int output[2];
    int errors[2];
    if (pipe(output) != 0) return false;
    if (pipe(errors) != 0) {
        close(output[0]);
        close(output[1]);
        return false;
    }
    process.pid = fork();
    if (process.pid == 0) {
        dup2(output[1], 1);
        dup2(errors[1], 2);
        close(output[0]);
        close(output[1]);
        close(errors[0]);
        close(errors[1]);
        if (!hand_over(options.descriptors)) _exit(125);
        const rlimit limit{static_cast<rlim_t>(options.soft_limit), static_cast<rlim_t>(options.hard_limit)};
        if (options.soft_limit >= 0 && setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(125);
        const rlimit threads{static_cast<rlim_t>(options.thread_limit), static_cast<rlim_t>(options.thread_limit)};
        if (options.thread_limit >= 0 && setrlimit(RLIMIT_NPROC, &threads) != 0) _exit(125);
        const int user = options.user;
        if (user >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(user)) != 0 ||
                          setuid(static_cast<uid_t>(user)) != 0))
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(output[1]);
    close(errors[1]);
    process.output = output[0];
    process.errors = errors[0];
    return process.pid > 0;
}

bool launch(child_process& process, const std::vector<std::string>& arguments, int user, long soft_limit,
            long hard_limit) {
    return launch(process, QUORLANE_BINARY, arguments, {nullptr, user, soft_limit, hard_limit});
}

bool wait_for(child_process& process, const std::function<bool(const std::string&)>& condition, int timeout_ms) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition(process.text)) {
        if (std::chrono::steady_clock::now() >= limit) return false;
        if (process.output < 0 || !read_available(process, 10)) return condition(process.text);
    }
    return true;
}

bool wait_for_text(child_process& process, const std::string& text, int timeout_ms) {
    return wait_for(
        process, [&text](const std::string& read_so_far) { return read_so_far.find(text) != std::string::npos; },
        timeout_ms);
}

bool wait_for_results(child_process& process, int count, int timeout_ms) {
    return wait_for(
        process,
        [count](const std::string& read_so_far) { return occurrences(read_so_far, "Mo/s          \n") >= count; },
        timeout_ms);
}

child_process::~child_process() {
    if (pid > 0 && !reaped) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    close_pipes(*this);
}

void finish(child_process& process, int timeout_ms) {
    if (process.pid <= 0) return;
    if (wait_for_end(process, std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms))) {
        // The child's I/O counters stay readable until it is reaped.
        std::ifstream counters("/proc/" + std::to_string(process.pid) + "/io");
        std::string name;
        long long value = 0;
        while (counters >> name >> value) {
            if (name == "rchar:") process.bytes_read = value;
            if (name == "wchar:") process.bytes_written = value;
        }
    } else {
        ADD_FAILURE() << "the child " << process.pid << " had not ended " << timeout_ms
                      << " ms after the test waited for it, and has been killed. Its last output:\n"
                      << process.text.substr(process.text.size() - std::min<std::size_t>(process.text.size(), 2000));
        kill(process.pid, SIGKILL);
    }
    close_pipes(process);
    int state = 0;
    rusage usage{};
    const bool ended = wait4(process.pid, &state, 0, &usage) == process.pid;
    process.reaped = true;  // or never was a child of this process: either way it is nobody's to kill
    if (!ended) return;
    process.status = WIFEXITED(state) ? WEXITSTATUS(state) : 128 + WTERMSIG(state);
    process.peak_rss_kib = usage.ru_maxrss;
}

int occurrences(const std::string& text, const std::string& pattern) {
    int count = 0;
    for (std::size_t position = text.find(pattern); position != std::string::npos;
         position = text.find(pattern, position + pattern.size()))
        ++count;
    return count;
}

void read_into(int& descriptor, std::string& target) {
    char chunk[65536];
    const ssize_t bytes_read = read(descriptor, chunk, sizeof chunk);
    if (bytes_read > 0) {
        target.append(chunk, static_cast<std::size_t>(bytes_read));
    } else {
        close(descriptor);
        descriptor = -1;
    }
}
