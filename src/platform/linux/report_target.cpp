#include "platform/report_target.hpp"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "platform/linux/errno_text.hpp"

namespace {

constexpr int most_links = 40;  // as the kernel follows at most

std::string directory_of(const std::string& file) {
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

std::string identity_of(const struct stat& entry) {
    return std::to_string(entry.st_dev) + ":" + std::to_string(entry.st_ino);
}

// The descriptor a name stands for (/dev/stdout, /dev/fd/3, /proc/self/fd/3), or -1. Written
// through the descriptor itself: opening the name anew would start a redirected file over.
int descriptor_named(const std::string& name) {
    if (name == "/dev/stdout") return 1;
    if (name == "/dev/stderr") return 2;
    for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size() || name.size() > prefix.size() + 9)
            continue;
        const std::string number = name.substr(prefix.size());
        if (number.find_first_not_of("0123456789") == std::string::npos) return std::atoi(number.c_str());
    }
    return -1;
}

bool write_all_to(int descriptor, const std::string& text, std::string& reason) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = write(descriptor, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return fail_with_errno(reason);
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

bool find_report_target(const std::string& name, report_target& target, std::string& reason) {
    const int descriptor = descriptor_named(name);
    if (descriptor >= 0) {
        struct stat entry {};
        const int flags = fcntl(descriptor, F_GETFL);
        if (flags < 0 || fstat(descriptor, &entry) != 0) return fail_with_errno(reason);
        if ((flags & O_ACCMODE) == O_RDONLY) {
            errno = EBADF;
            return fail_with_errno(reason);
        }
        target = report_target{report_target_kind::stream, name, identity_of(entry)};
        return true;
    }
    std::string file = name;
    for (int link = 0; link <= most_links; ++link) {
        struct stat entry {};
        if (lstat(file.c_str(), &entry) != 0) {
            if (errno != ENOENT) return fail_with_errno(reason);
            char directory[PATH_MAX];
            if (realpath(directory_of(file).c_str(), directory) == nullptr) return fail_with_errno(reason);
            const std::size_t slash = file.rfind('/');
            target = report_target{report_target_kind::new_file, file,
                                   std::string(directory) + "/" + (slash == std::string::npos ? file : file.substr(slash + 1))};
            return true;
        }
        if (S_ISLNK(entry.st_mode)) {
            char text[PATH_MAX];
            const ssize_t length = readlink(file.c_str(), text, sizeof text - 1);
            if (length < 0) return fail_with_errno(reason);
            const std::string destination(text, static_cast<std::size_t>(length));
            file = destination.front() == '/' ? destination : directory_of(file) + "/" + destination;
            continue;
        }
        report_target_kind kind = report_target_kind::other;
        if (S_ISREG(entry.st_mode)) kind = report_target_kind::regular_file;
        else if (S_ISFIFO(entry.st_mode) || S_ISCHR(entry.st_mode)) kind = report_target_kind::stream;
        else if (S_ISDIR(entry.st_mode)) kind = report_target_kind::directory;
        target = report_target{kind, kind == report_target_kind::stream ? name : file, identity_of(entry)};
        return true;
    }
    errno = ELOOP;
    return fail_with_errno(reason);
}

bool may_replace(const std::string& file, std::string& reason) {
    const std::string directory = directory_of(file);
    struct stat folder {}, entry {};
    if (stat(directory.c_str(), &folder) != 0 || stat(file.c_str(), &entry) != 0) return fail_with_errno(reason);
    const uid_t user = geteuid();
    if ((folder.st_mode & S_ISVTX) != 0 && user != 0 && entry.st_uid != user && folder.st_uid != user) {
        errno = EPERM;
        return fail_with_errno(reason);
    }
    if (access(directory.c_str(), W_OK | X_OK) != 0) return fail_with_errno(reason);
    return true;
}

bool write_to_stream(const std::string& name, const std::string& text, std::string& reason) {
    const int named = descriptor_named(name);
    if (named >= 0) return write_all_to(named, text, reason);
    const int descriptor = open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) return fail_with_errno(reason);
    const bool written = write_all_to(descriptor, text, reason);
    std::string ignored;
    if (close(descriptor) != 0 && written) return fail_with_errno(reason);
    return written;
}
