#include "common/ending.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/units.hpp"
#include "driver/driver.hpp"
#include "platform/file_system.hpp"
#include "run/limits.hpp"
#include "settings/settings.hpp"

run_refusal check_limits(const run_settings& settings) {
    const std::string files_refusal = open_files_refusal(settings);
    if (!files_refusal.empty()) return run_refusal{files_refusal, ""};
    file_system_type type;
    if (file_system_of(settings.target_directory, type)) {
        const std::string size_refusal = file_size_refusal(settings, settings.target_directory, type.name);
        if (!size_refusal.empty()) return run_refusal{size_refusal, ""};
    }
    const std::uint64_t needed = bytes_needed(settings, eviction_file::counted);
    std::uint64_t free_bytes = 0;
    if (!free_space(settings.target_directory, free_bytes) || needed <= free_bytes) return run_refusal{};
    // The eviction file is said apart: it is what -cache 0 saves.
    const std::string refusal = space_refusal(needed, free_bytes);
    if (settings.controller_cache_gib == 0) return run_refusal{refusal, ""};
    return run_refusal{refusal, format_text(messages::eviction_space,
                                            static_cast<unsigned long long>(eviction_file_bytes(settings) / bytes_per_mib),
                                            settings.controller_cache_gib)};
}
