#include <algorithm>
#include <cmath>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/units.hpp"
#include "compare/results_reader.hpp"
#include "results/series.hpp"

namespace {

const char* const stage_kinds[] = {"os_cache", "device_cache", "steady", "decline"};

// The seconds the file gives a stage follow from its times, to the rounding of a double.
void check_seconds(json_reading& reading, const json_place& place, const stage_record& stage) {
    const double seconds = read_number(reading, place, 0, static_cast<double>(most_microseconds) / one_second_us);
    const double derived = static_cast<double>(stage.end_us - stage.start_us) / one_second_us;
    if (!reading.failed() && std::abs(seconds - derived) > 1e-9 * std::max(derived, 1.0))
        fail(reading, format_text(messages::results_derived, place.path.c_str(), format_text("%.17g", seconds).c_str(),
                                  format_text("%.17g", derived).c_str()));
}

// Both bounds counted since the eviction, or neither; the same span as the stage's own.
void read_since_eviction(json_reading& reading, const json_place& place, stage_record& stage) {
    const json_place first = member(place, "first_byte_since_eviction"), last = member(place, "last_byte_since_eviction");
    if (!present(first) && !present(last)) return;
    const std::uint64_t first_byte = read_count(reading, first, most_bytes - (stage.last_byte - stage.first_byte));
    const std::uint64_t last_byte = read_count(reading, last, most_bytes);
    if (reading.failed()) return;
    if (first_byte < stage.first_byte)
        return fail(reading, format_text(messages::results_disagree, first.path.c_str(),
                                         member(place, "first_byte").path.c_str()));
    if (last_byte - first_byte != stage.last_byte - stage.first_byte)
        return fail(reading, format_text(messages::results_derived, last.path.c_str(), std::to_string(last_byte).c_str(),
                                         std::to_string(first_byte + stage.last_byte - stage.first_byte).c_str()));
    stage.first_byte_since_eviction = first_byte;
    stage.last_byte_since_eviction = last_byte;
}

}  // namespace

void read_stages(json_reading& reading, const json_place& figure_place, figure_record& figure) {
    const json_place stages = member(figure_place, "stages"), text = member(figure_place, "stages_text");
    if (present(text)) figure.stages_text = read_text(reading, text);
    if (!present(stages)) return;
    // A stage holds at least a byte and an interval of the series.
    if (!check_array(reading, stages, figure.bytes == 0 ? 0 : most_points)) return;
    for (std::size_t k = 0; k < stages.value->size() && !reading.failed(); ++k) {
        const json_place place = element(stages, k);
        if (!check_object(reading, place)) return;
        stage_record stage;
        stage.kind = stage_kinds[read_choice(reading, member(place, "kind"), stage_kinds, 4)];
        stage.first_byte = read_count(reading, member(place, "first_byte"), figure.bytes - 1);
        stage.last_byte = read_count(reading, member(place, "last_byte"), figure.bytes - 1);
        stage.start_us = read_integer(reading, member(place, "start_us"), 0, figure.elapsed_us);
        stage.end_us = read_integer(reading, member(place, "end_us"), 0, figure.elapsed_us);
        if (reading.failed()) return;
        if (stage.last_byte < stage.first_byte || stage.end_us < stage.start_us)
            return fail(reading, format_text(messages::results_stage_ends, place.path.c_str()));
        if (figure.stages.empty() && stage.first_byte != 0)
            return fail(reading, format_text(messages::results_stage_first, place.path.c_str()));
        const stage_record* before = figure.stages.empty() ? nullptr : &figure.stages.back();
        if (before != nullptr && (stage.first_byte != before->last_byte + 1 || stage.start_us < before->end_us))
            return fail(reading, format_text(messages::results_stage_order, place.path.c_str()));
        check_seconds(reading, member(place, "seconds"), stage);
        stage.mb_per_second = read_number(reading, member(place, "mb_per_second"), 0, most_mb_per_second);
        stage.start_mb_per_second = read_number(reading, member(place, "start_mb_per_second"), 0, most_mb_per_second);
        stage.end_mb_per_second = read_number(reading, member(place, "end_mb_per_second"), 0, most_mb_per_second);
        read_since_eviction(reading, place, stage);
        figure.stages.push_back(stage);
    }
}
