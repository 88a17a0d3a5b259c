#include "support/file_system.hpp"

#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <filesystem>
#include <regex>

#include "support/run_program.hpp"

bool on_memory_file_system(const std::string& directory) {
    struct statfs state {};
    return statfs(directory.c_str(), &state) == 0 && (state.f_type == TMPFS_MAGIC || state.f_type == RAMFS_MAGIC);
}

std::string disk_backed_parent() {
    for (const std::string& candidate : {std::filesystem::temp_directory_path().string(), std::string("/var/tmp")})
        if (std::filesystem::is_directory(candidate) && !on_memory_file_system(candidate)) return candidate;
    return std::string();
}

std::vector<std::string> screen_without_memory_notes(const std::string& output, const std::string& directory) {
    const std::regex memory_note(
        "Note: .* is in memory \\((tmpfs|ramfs)\\): "
        "these figures are memory speeds, not a disk's\\.");
    const std::regex cached_note(
        "Note: [0-9]+ % of the test files are still in the OS cache: "
        "the next figure is not the disk's own speed\\.");
    // A busy machine may take a second over a small file's flush: its figure is then under 1 Mo/s.
    const std::regex slow_note("Note: the figure above is [0-9]+ KB/s, under 1 Mo/s\\.");
    std::vector<std::string> screen;
    int notes = 0;
    for (const std::string& line : lines(output)) {
        const std::string shown = visible(line);
        // The notes are short; std::regex would recurse its stack away on a long line.
        const bool note_sized = shown.rfind("Note: ", 0) == 0 && shown.size() < 4096;
        if (note_sized && (std::regex_match(shown, memory_note) || std::regex_match(shown, cached_note)))
            ++notes;
        else if (!note_sized || !std::regex_match(shown, slow_note))
            screen.push_back(shown);
    }
    EXPECT_EQ(notes, on_memory_file_system(directory) ? 2 : 0) << output;
    return screen;
}
