#include "results/stage_note.hpp"

#include <cstddef>
#include <cstdint>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rounded_text.hpp"

namespace {

// Whole GiB from 10 GiB: a stage's bounds are known to an interval's worth of bytes, no closer.
std::string size_text(std::uint64_t bytes) { return amount_text(bytes, false); }

std::string device_cache_text(const named_stage& named) {
    const rate_stage& stage = named.stage;
    const std::uint64_t bytes = stage.end_bytes - stage.start_bytes;
    const std::uint64_t eviction_bytes = named.start_bytes_since_eviction - stage.start_bytes;
    const std::string size = size_text(bytes), rate = mb_per_second_text(stage.median_bytes_per_second);
    if (eviction_bytes == 0) return format_text(messages::stage_device_cache, size.c_str(), rate.c_str());
    return format_text(messages::stage_device_cache_eviction, size.c_str(), rate.c_str(),
                       size_text(bytes + eviction_bytes).c_str());
}

std::string decline_text(const rate_stage& stage) {
    return format_text(messages::stage_decline, mb_per_second_text(stage.start_bytes_per_second).c_str(),
                       mb_per_second_text(stage.end_bytes_per_second).c_str());
}

// The first stage, told with its size.
std::string first_stage_text(const named_stage& named) {
    const rate_stage& stage = named.stage;
    const std::string size = size_text(stage.end_bytes - stage.start_bytes);
    switch (named.kind) {
        case stage_kind::os_cache:
            return format_text(messages::first_os_cache, size.c_str(), mb_per_second_text(stage.median_bytes_per_second).c_str());
        case stage_kind::device_cache: return device_cache_text(named);
        case stage_kind::decline:
            return format_text(messages::first_decline, mb_per_second_text(stage.start_bytes_per_second).c_str(),
                               mb_per_second_text(stage.end_bytes_per_second).c_str(), size.c_str());
        case stage_kind::steady: break;
    }
    return format_text(messages::first_steady, mb_per_second_text(stage.median_bytes_per_second).c_str(), size.c_str());
}

// A later stage, told by its rate; a cache's, with its size too.
std::string later_stage_text(const named_stage& named) {
    switch (named.kind) {
        case stage_kind::device_cache: return device_cache_text(named);
        case stage_kind::decline: return decline_text(named.stage);
        case stage_kind::os_cache:
        case stage_kind::steady: break;
    }
    return format_text(messages::stage_steady, mb_per_second_text(named.stage.median_bytes_per_second).c_str());
}

}  // namespace

std::string stages_note(const std::vector<named_stage>& stages, bool writing) {
    if (stages.empty()) return "";
    if (stages.size() == 1) {
        const rate_stage& stage = stages.front().stage;
        if (stages.front().kind != stage_kind::decline) return "";
        return format_text(writing ? messages::write_decline : messages::read_decline,
                           mb_per_second_text(stage.start_bytes_per_second).c_str(), mb_per_second_text(stage.end_bytes_per_second).c_str());
    }
    std::string told = first_stage_text(stages.front());
    for (std::size_t k = 1; k < stages.size(); ++k) {
        const std::string stage = later_stage_text(stages[k]);
        told += messages::stage_separator;
        told += k == 1 ? format_text(messages::stage_then, stage.c_str())
                       : format_text(messages::stage_from, size_text(stages[k].stage.start_bytes).c_str(), stage.c_str());
    }
    return format_text(writing ? messages::write_stages : messages::read_stages, told.c_str());
}
