#include "report/stage_lines.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rounded_text.hpp"
#include "platform/system_info.hpp"
#include "report/console.hpp"
#include "report/run_summary.hpp"
#include "results/stage_note.hpp"
#include "results/stages.hpp"

namespace {

// The eviction file written just before a write phase, which has already filled part of a
// device's cache; 0 for a read, or without eviction.
std::uint64_t eviction_before(const pass_record& pass, figure_kind kind) {
    if (kind != figure_kind::write_cached) return 0;
    for (const step_record& step : pass.steps)
        if (step.name == "eviction_write") return step.bytes;
    return 0;
}

}  // namespace

std::vector<stage_record> stage_records(const std::vector<named_stage>& stages, bool after_eviction) {
    std::vector<stage_record> records;
    for (const named_stage& named : stages) {
        const rate_stage& stage = named.stage;
        stage_record record{stage_kind_name(named.kind), stage.start_bytes, stage.end_bytes - 1, stage.start_us,
                            stage.end_us, rounded_rate(stage.median_bytes_per_second / 1e6),
                            rounded_rate(stage.start_bytes_per_second / 1e6), rounded_rate(stage.end_bytes_per_second / 1e6)};
        if (after_eviction) {
            record.first_byte_since_eviction = named.start_bytes_since_eviction;
            record.last_byte_since_eviction = named.end_bytes_since_eviction - 1;
        }
        records.push_back(record);
    }
    return records;
}

void settle_stages(const run_settings& settings, const run_record& run, const pass_record& pass, figure_kind kind,
                   figure_record& figure) {
    figure.stages.clear();
    figure.stages_text.clear();
    if (kind == figure_kind::write_forced) return;
    // A stage in which no byte moved has no first byte: the rest are the phase's.
    std::vector<rate_stage> found;
    for (const rate_stage& stage : find_stages(figure))
        if (stage.end_bytes > stage.start_bytes) found.push_back(stage);
    stage_facts facts;
    facts.writing = kind == figure_kind::write_cached;
    facts.unbuffered = settings.direct;
    facts.dirty_limit_bytes = run.measured.machine.dirty_limit_bytes.value_or(0);
    facts.memory_bytes = describe_host().memory_bytes;
    facts.eviction_bytes = eviction_before(pass, kind);
    const std::vector<named_stage> named = name_stages(found, facts);
    figure.stages = stage_records(named, facts.eviction_bytes != 0);
    figure.stages_text = without_note_prefix(stages_note(named, facts.writing));
}

const char* stage_kind_label(const std::string& kind) {
    if (kind == "os_cache") return messages::stage_label_os_cache;
    if (kind == "device_cache") return messages::stage_label_device_cache;
    if (kind == "decline") return messages::stage_label_decline;
    return messages::stage_label_steady;
}

std::string stage_rate_text(const stage_record& stage) {
    if (stage.kind != "decline") return mb_per_second_text(stage.mb_per_second * 1e6);
    return format_text(messages::stage_rate_decline, mb_per_second_text(stage.start_mb_per_second * 1e6).c_str(),
                       mb_per_second_text(stage.end_mb_per_second * 1e6).c_str());
}

void print_stages_note(const figure_record& figure) {
    if (!figure.stages_text.empty()) print_on_own_line(messages::note_start + figure.stages_text);
}
