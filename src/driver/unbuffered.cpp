#include <algorithm>
#include <numeric>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/ending.hpp"
#include "driver/driver.hpp"
#include "platform/file_io.hpp"
#include "settings/settings.hpp"

run_refusal check_unbuffered_io(run_state& run) {
    const run_settings& settings = run.settings;
    if (!settings.direct) return run_refusal{};
    std::uint32_t offset_alignment = 0;
    std::uint32_t memory_alignment = 0;
    std::string reason;
    const unbuffered_support support =
        unbuffered_io_alignment(settings.target_directory, offset_alignment, memory_alignment, reason);
    if (support == unbuffered_support::not_by_this_file_system) reason = messages::direct_cached;
    if (support != unbuffered_support::supported && support != unbuffered_support::on_network_share)
        return run_refusal{format_text(messages::direct_unsupported, settings.target_directory.c_str(), reason.c_str()),
                           ""};

    // Blocks follow one another in the files: each must start on both alignments, so the block
    // size must be a whole number of each.
    const std::uint64_t alignment = std::max({std::uint32_t{1}, offset_alignment, memory_alignment});
    const std::uint64_t kib_multiple = std::lcm(alignment, std::uint64_t{bytes_per_kib}) / bytes_per_kib;
    if (settings.block_kib % kib_multiple != 0)
        return run_refusal{format_text(messages::direct_block, static_cast<unsigned>(kib_multiple)), ""};
    run.buffer_alignment = std::max<std::size_t>(run.buffer_alignment, memory_alignment);
    print_on_own_line(messages::direct_note);
    if (support == unbuffered_support::on_network_share)
        print_on_own_line(format_text(messages::direct_on_share, settings.target_directory.c_str()));
    return run_refusal{};
}

std::uint32_t partial_physical_sector(const target_identity& target, std::uint32_t block_bytes) {
    std::uint32_t sector = 0;
    for (const storage_device& device : target.devices) {
        const std::uint32_t physical = device.physical_sector_bytes.value_or(0);
        if (physical > sector && block_bytes % physical != 0) sector = physical;
    }
    return sector;
}

void note_partial_physical_sectors(const run_record& results, const run_settings& settings) {
    if (!settings.direct) return;
    const std::uint32_t sector =
        partial_physical_sector(results.measured.target, static_cast<std::uint32_t>(bytes_per_block(settings)));
    if (sector != 0) print_on_own_line(format_text(messages::direct_partial_sectors, settings.block_kib, sector));
}
