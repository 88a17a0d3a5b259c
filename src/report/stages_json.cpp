#include "report/stages_json.hpp"

#include "common/units.hpp"
#include "report/figure_names.hpp"

using json = nlohmann::ordered_json;

json stage_json(const stage_record& stage) {
    json object{{"kind", stage.kind},
                {"first_byte", stage.first_byte},
                {"last_byte", stage.last_byte},
                {"start_us", stage.start_us},
                {"end_us", stage.end_us},
                {"seconds", static_cast<double>(stage.end_us - stage.start_us) / one_second_us},
                {"mb_per_second", stage.mb_per_second},
                {"start_mb_per_second", stage.start_mb_per_second},
                {"end_mb_per_second", stage.end_mb_per_second}};
    if (stage.first_byte_since_eviction) {
        object["first_byte_since_eviction"] = *stage.first_byte_since_eviction;
        object["last_byte_since_eviction"] = *stage.last_byte_since_eviction;
    }
    return object;
}

void add_stages(json& document, const run_record& run) {
    json& passes = document["passes"];
    for (std::size_t index = 0; index < run.passes.size() && index < passes.size(); ++index)
        for (json& figure : passes[index]["figures"])
            for (const figure_kind kind : {figure_kind::write_cached, figure_kind::read_cached, figure_kind::read_uncached}) {
                const figure_record& kept = run.passes[index].figures[static_cast<int>(kind)];
                if (figure["name"] != figure_names[static_cast<int>(kind)] || kept.stages.empty()) continue;
                json stages = json::array();
                for (const stage_record& stage : kept.stages) stages.push_back(stage_json(stage));
                figure["stages"] = stages;
                if (!kept.stages_text.empty()) figure["stages_text"] = kept.stages_text;
            }
}
