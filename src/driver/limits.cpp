#include "common/messages.hpp"
#include "common/output.hpp"
#include "driver/driver.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

namespace {
// Descriptors the program itself may hold beside the test files: the standard streams and
// the eviction file, with room to spare.
constexpr std::uint64_t reserved_descriptors = 8;
constexpr std::uint64_t bytes_per_mib = 1048576;
}  // namespace

void check_limits() {
    const std::uint64_t files = std::uint64_t{thread_count} * file_number;
    const std::uint64_t limit = raise_open_files_limit();
    const std::uint64_t for_test_files = limit > reserved_descriptors ? limit - reserved_descriptors : 0;
    if (files > for_test_files)
        report_error(true, format_text(messages::too_many_open_files, static_cast<unsigned long long>(files),
                                       static_cast<unsigned long long>(for_test_files)));

    const std::uint64_t needed =
        files * blocks_per_file * bytes_per_block() + std::uint64_t{cache} * 1024 * bytes_per_mib;
    std::uint64_t free_bytes = 0;
    if (free_space(path, free_bytes) && needed > free_bytes)
        report_error(true, format_text(messages::not_enough_space,
                                       static_cast<unsigned long long>((needed + bytes_per_mib - 1) / bytes_per_mib),
                                       static_cast<unsigned long long>(free_bytes / bytes_per_mib)));
}
