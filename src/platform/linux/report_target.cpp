#include "platform/report_target.hpp"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <deque>

#include "platform/linux/errno_text.hpp"

namespace {

constexpr int most_links = 40;  // as the kernel follows at most
// While it waits for a reader, the writer looks at the interruption this often.
constexpr int wait_step_ms = 100;
// A write after the stream is ready takes at most what a pipe takes whole without waiting.
constexpr std::size_t stream_piece = 4096;

std::string identity_of(const struct stat& entry) {
    return identity_text(file_identity{static_cast<std::uint64_t>(entry.st_dev), static_cast<std::uint64_t>(entry.st_ino)});
}

bool fail_with(int error, std::string& reason) {
    errno = error;
    return fail_with_errno(reason);
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

bool descriptor_target(int descriptor, report_target& target, std::string& reason) {
    struct stat entry {};
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags < 0 || fstat(descriptor, &entry) != 0) return fail_with_errno(reason);
    if ((flags & O_ACCMODE) == O_RDONLY) return fail_with(EBADF, reason);
    target.kind = report_target_kind::stream;
    target.identity = identity_of(entry);
    target.shared_sink = S_ISCHR(entry.st_mode);
    target.stream = descriptor;
    return true;
}

// The components of a path in order; a path ending in a separator ends in ".", which must be
// a directory.
std::deque<std::string> components_of(const std::string& path) {
    std::deque<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > start) parts.push_back(path.substr(start, end - start));
        if (slash == std::string::npos) break;
        if (slash + 1 == path.size()) parts.push_back(".");
        start = slash + 1;
    }
    return parts;
}

// The kernel's protected-symlinks rule: a link in a sticky world-writable directory is
// followed only by its owner or when the directory's owner owns it too.
bool may_follow(const struct stat& folder, const struct stat& link) {
    if (link.st_uid == geteuid()) return true;
    if ((folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH)) return true;
    return folder.st_uid == link.st_uid;
}

// In a sticky directory others can write, a file neither this user's nor the directory owner's
// was put there by someone else: the kernel's protected FIFOs and regular files rule.
bool planted_in_sticky(const struct stat& folder, const struct stat& entry) {
    const uid_t user = geteuid();
    if ((folder.st_mode & S_ISVTX) == 0 || entry.st_uid == user || entry.st_uid == folder.st_uid) return false;
    return user != 0 || (folder.st_mode & (S_IWOTH | S_IWGRP)) != 0;
}

// A file system without owners or permissions (FAT through FUSE) refuses to set them, and a
// user may not give a file away: the file stays as it was made, this user's and 0600.
bool keeps_no_permissions(int error) { return error == ENOSYS || error == EOPNOTSUPP || error == EPERM; }

// The walk of a path one component at a time, from a directory held open.
struct path_walk {
    int directory = -1;
    int links = 0;
    std::deque<std::string> pending;
};

bool move_to(path_walk& walk, int directory) {
    if (directory < 0) return false;
    if (walk.directory >= 0) close(walk.directory);
    walk.directory = directory;
    return true;
}

int open_start(bool absolute) { return open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC); }

// Puts the text of the link `name` in the walk's place, when the rule lets it be followed.
bool follow_link(path_walk& walk, const std::string& name, const struct stat& link, std::string& reason) {
    struct stat folder {};
    if (fstat(walk.directory, &folder) != 0) return fail_with_errno(reason);
    if (!may_follow(folder, link)) return fail_with(EACCES, reason);
    if (++walk.links > most_links) return fail_with(ELOOP, reason);
    char text[PATH_MAX];
    const ssize_t length = readlinkat(walk.directory, name.c_str(), text, sizeof text - 1);
    if (length < 0) return fail_with_errno(reason);
    if (length == 0) return fail_with(ENOENT, reason);
    const std::string destination(text, static_cast<std::size_t>(length));
    if (destination.front() == '/' && !move_to(walk, open_start(true))) return fail_with_errno(reason);
    std::deque<std::string> parts = components_of(destination);
    walk.pending.insert(walk.pending.begin(), parts.begin(), parts.end());
    return true;
}

// One component on the way: a directory to enter, or a link to follow.
bool enter(path_walk& walk, const std::string& name, std::string& reason) {
    if (move_to(walk, openat(walk.directory, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))) return true;
    const int error = errno;
    struct stat entry {};
    if (fstatat(walk.directory, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(entry.st_mode))
        return follow_link(walk, name, entry, reason);
    return fail_with(error, reason);
}

bool open_stream(const path_walk& walk, const std::string& name, const struct stat& entry, report_target& target,
                 std::string& reason) {
    struct stat folder {};
    if (fstat(walk.directory, &folder) != 0) return fail_with_errno(reason);
    if (planted_in_sticky(folder, entry)) return fail_with(EPERM, reason);
    const int stream = openat(walk.directory, name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (stream < 0 && errno == ENXIO && S_ISFIFO(entry.st_mode)) {
        target.kind = report_target_kind::fifo_without_reader;
        return true;
    }
    if (stream < 0) return fail_with_errno(reason);
    target.kind = report_target_kind::stream;
    target.stream = stream;
    target.shared_sink = S_ISCHR(entry.st_mode);
    return true;
}

// The last component, which the walk has reached without following it.
bool reach(path_walk& walk, const std::string& name, report_target& target, std::string& reason) {
    struct stat entry {};
    if (fstatat(walk.directory, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) return fail_with_errno(reason);
        struct stat folder {};
        if (fstat(walk.directory, &folder) != 0) return fail_with_errno(reason);
        target.kind = report_target_kind::new_file;
        target.identity = identity_of(folder) + "/" + name;
        return true;
    }
    if (S_ISLNK(entry.st_mode)) return follow_link(walk, name, entry, reason);
    target.identity = identity_of(entry);
    target.kind = S_ISREG(entry.st_mode)   ? report_target_kind::regular_file
                  : S_ISDIR(entry.st_mode) ? report_target_kind::directory
                                           : report_target_kind::other;
    if (S_ISFIFO(entry.st_mode) || S_ISCHR(entry.st_mode)) return open_stream(walk, name, entry, target, reason);
    target.found = file_identity{static_cast<std::uint64_t>(entry.st_dev), static_cast<std::uint64_t>(entry.st_ino)};
    target.mode = entry.st_mode & 0777;
    target.owner = entry.st_uid;
    target.group = entry.st_gid;
    return true;
}

bool walk_to_target(path_walk& walk, report_target& target, std::string& reason) {
    while (!walk.pending.empty()) {
        const std::string part = walk.pending.front();
        walk.pending.pop_front();
        if (!walk.pending.empty() || part == "." || part == "..") {
            if (!enter(walk, part, reason)) return false;
            if (walk.pending.empty()) target.kind = report_target_kind::directory;
            continue;
        }
        const int links = walk.links;
        if (!reach(walk, part, target, reason)) return false;
        if (walk.links != links) continue;
        target.name = part;
        // The directory a new file or a replacement is made in stays open until the save.
        if (target.kind == report_target_kind::new_file || target.kind == report_target_kind::regular_file) {
            target.directory = walk.directory;
            walk.directory = -1;
        }
        return true;
    }
    return true;
}

// The permissions a new file gets: 0644 less the process's umask, read without changing it
// for longer than the two calls.
std::uint32_t new_file_permissions() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0644 & ~static_cast<std::uint32_t>(mask);
}

bool write_all_to(int descriptor, const std::string& text, const std::function<bool()>& interrupted,
                  std::string& reason) {
    for (std::size_t done = 0; done < text.size();) {
        if (interrupted()) return fail_with(EINTR, reason);
        pollfd ready{descriptor, POLLOUT, 0};
        const int answer = poll(&ready, 1, wait_step_ms);
        if (answer < 0 && errno != EINTR) return fail_with_errno(reason);
        if (answer <= 0) continue;
        const ssize_t written = write(descriptor, text.data() + done, std::min(stream_piece, text.size() - done));
        if (written < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (written <= 0) return fail_with_errno(reason);
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

std::string identity_text(const file_identity& identity) {
    return std::to_string(identity.volume) + ":" + std::to_string(identity.file);
}

bool find_report_target(const std::string& name, report_target& target, std::string& reason) {
    target = report_target{};
    const int descriptor = descriptor_named(name);
    if (descriptor >= 0) return descriptor_target(descriptor, target, reason);
    target.new_file_mode = new_file_permissions();
    path_walk walk;
    walk.pending = components_of(name);
    if (name.empty()) return fail_with(ENOENT, reason);
    if (!move_to(walk, open_start(name.front() == '/'))) return fail_with_errno(reason);
    const bool found = walk_to_target(walk, target, reason);
    if (walk.directory >= 0) close(walk.directory);
    return found;
}

bool may_replace(const report_target& target, std::string& reason) {
    struct stat folder {};
    if (fstat(static_cast<int>(target.directory), &folder) != 0) return fail_with_errno(reason);
    struct stat entry {};
    entry.st_uid = target.owner;
    if (planted_in_sticky(folder, entry)) return fail_with(EPERM, reason);
    if (faccessat(static_cast<int>(target.directory), ".", W_OK | X_OK, AT_EACCESS) != 0) return fail_with_errno(reason);
    return true;
}

creation create_report_file(const report_target& target, const std::string& temporary, os_file& handle,
                            std::string& reason) {
    const int descriptor = openat(static_cast<int>(target.directory), temporary.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        const bool taken = errno == EEXIST;
        fail_with_errno(reason);
        return taken ? creation::name_taken : creation::failed;
    }
    handle = descriptor;
    return creation::created;
}

bool finish_report_file(const report_target& target, os_file handle, std::string& reason) {
    const int descriptor = static_cast<int>(handle);
    const bool replacing = target.kind == report_target_kind::regular_file;
    // Another user's owner and group are root's to give; for anyone else the replacement is
    // theirs, as any file they write.
    if (replacing && (target.owner != geteuid() || target.group != getegid()) &&
        fchown(descriptor, target.owner, target.group) != 0 && !keeps_no_permissions(errno))
        return fail_with_errno(reason);
    if (fchmod(descriptor, replacing ? target.mode : target.new_file_mode) != 0 && !keeps_no_permissions(errno))
        return fail_with_errno(reason);
    return true;
}

placement put_in_place(report_target& target, const std::string& temporary, std::string& reason) {
    const int directory = static_cast<int>(target.directory);
    struct stat now {};
    const bool present = fstatat(directory, target.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
    if (!present && errno != ENOENT) {
        fail_with_errno(reason);
        return placement::failed;
    }
    const file_identity there{static_cast<std::uint64_t>(now.st_dev), static_cast<std::uint64_t>(now.st_ino)};
    const bool as_found = present ? target.kind == report_target_kind::regular_file && there == target.found
                                  : target.kind == report_target_kind::new_file;
    const bool users_own = present && S_ISREG(now.st_mode) && now.st_uid == geteuid();
    if (!as_found && !users_own) return placement::name_taken;
    // A name still free is taken only if it stays free, should someone create it this instant.
    const unsigned int flags = present ? 0 : RENAME_NOREPLACE;
    if (renameat2(directory, temporary.c_str(), directory, target.name.c_str(), flags) != 0) {
        if (errno == EEXIST) return placement::name_taken;
        // A file system that can't promise not to replace (FUSE's fusefat, older kernels) is
        // left to the check above.
        const bool flags_refused = errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
        if (!flags_refused || flags == 0 || renameat(directory, temporary.c_str(), directory, target.name.c_str()) != 0) {
            fail_with_errno(reason);
            return placement::failed;
        }
    }
    struct stat placed {};
    if (fstatat(directory, target.name.c_str(), &placed, AT_SYMLINK_NOFOLLOW) == 0) {
        target.kind = report_target_kind::regular_file;
        target.found = file_identity{static_cast<std::uint64_t>(placed.st_dev), static_cast<std::uint64_t>(placed.st_ino)};
        target.mode = placed.st_mode & 0777;
        target.owner = placed.st_uid;
        target.group = placed.st_gid;
    }
    return placement::placed;
}

bool write_to_stream(const report_target& target, const std::string& text, const std::function<bool()>& interrupted,
                     std::string& reason) {
    return write_all_to(static_cast<int>(target.stream), text, interrupted, reason);
}
