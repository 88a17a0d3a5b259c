#include "run/limits.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/units.hpp"
#include "platform/command_line.hpp"
#include "platform/descriptors.hpp"
#include "settings/settings.hpp"

namespace {
// What the run opens beside the test files: the marker naming its files, held for the whole
// run; then, each for a while of its own, the eviction file and the files the purge and the
// residency check look at; with one more for room.
constexpr std::uint64_t run_descriptors = 3;
// Where the OS can't count its open descriptors: the standard streams.
constexpr std::uint64_t standard_streams = 3;
// FAT keeps a file's size in 32 bits. Linux names it vfat or msdos, Windows FAT, FAT12, FAT16
// or FAT32, and fusefat's FUSE mount shows as fuse.fusefat; exFAT has no such limit.
constexpr std::uint64_t fat_largest_file = 4294967295;
constexpr const char* fat_names[] = {"vfat", "msdos", "fuse.fusefat", "FAT", "FAT12", "FAT16", "FAT32"};

bool is_fat(const std::string& file_system_name) {
    for (const char* name : fat_names)
        if (compare_ignoring_case(file_system_name.c_str(), name) == 0) return true;
    return false;
}
}  // namespace

std::string file_size_refusal(const run_settings& settings, const std::string& directory,
                              const std::string& file_system_name) {
    if (!is_fat(file_system_name)) return std::string();
    const std::uint64_t test_file = test_file_bytes(settings);
    const std::uint64_t eviction_file = eviction_file_bytes(settings);
    if (test_file > fat_largest_file)
        return format_text(messages::fat_test_file, directory.c_str(), file_system_name.c_str(),
                           static_cast<unsigned long long>(fat_largest_file),
                           static_cast<unsigned long long>(test_file), settings.file_mib, settings.block_kib);
    if (eviction_file > fat_largest_file)
        return format_text(messages::fat_eviction_file, directory.c_str(), file_system_name.c_str(),
                           static_cast<unsigned long long>(fat_largest_file),
                           static_cast<unsigned long long>(eviction_file), settings.controller_cache_gib);
    return std::string();
}

std::string open_files_refusal(const run_settings& settings) {
    const std::uint64_t files = std::uint64_t{settings.worker_count} * settings.files_per_worker;
    const std::uint64_t limit = raise_open_files_limit();
    // Descriptors inherited from the parent count against the limit as much as the run's own.
    std::uint64_t in_use = 0;
    if (!open_descriptor_count(limit, in_use)) in_use = standard_streams;
    const std::uint64_t reserved = in_use + run_descriptors;
    const std::uint64_t for_test_files = limit > reserved ? limit - reserved : 0;
    if (files <= for_test_files) return std::string();
    return format_text(messages::too_many_open_files, static_cast<unsigned long long>(files),
                       static_cast<unsigned long long>(for_test_files));
}

std::uint64_t bytes_needed(const run_settings& settings, eviction_file eviction) {
    const std::uint64_t files = std::uint64_t{settings.worker_count} * settings.files_per_worker;
    return files * test_file_bytes(settings) + (eviction == eviction_file::counted ? eviction_file_bytes(settings) : 0);
}

std::string space_refusal(std::uint64_t needed, std::uint64_t free_bytes) {
    return format_text(messages::not_enough_space,
                       static_cast<unsigned long long>((needed + bytes_per_mib - 1) / bytes_per_mib),
                       static_cast<unsigned long long>(free_bytes / bytes_per_mib));
}
