#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/listed_files.hpp"

bool list_files(const std::string& directory, const std::string& start, std::vector<listed_file>& files) {
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) return false;
    const int descriptor = dirfd(listing);
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.compare(0, start.size(), start) != 0) continue;
        struct stat state {};
        if (fstatat(descriptor, entry->d_name, &state, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(state.st_mode)) continue;
        files.push_back(listed_file{name, static_cast<std::uint64_t>(state.st_size), std::to_string(state.st_uid)});
    }
    closedir(listing);
    return true;
}

bool read_small_file(const std::string& name, std::size_t limit, std::string& text) {
    const int descriptor = open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return false;
    struct stat state {};
    bool read_whole = fstat(descriptor, &state) == 0 && S_ISREG(state.st_mode);
    text.clear();
    char buffer[4096];
    while (read_whole) {
        const ssize_t got = read(descriptor, buffer, sizeof buffer);
        if (got < 0) read_whole = false;
        if (got <= 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > limit) read_whole = false;
    }
    close(descriptor);
    return read_whole;
}
