#include "report/device_json.hpp"

#include "report/figure_names.hpp"

using json = nlohmann::ordered_json;

namespace {

template <typename value>
json or_null(const std::optional<value>& known) {
    return known ? json(*known) : json(nullptr);
}

json device_json(const storage_device& device) {
    return json{{"name", device.name},
                {"model", or_null(device.model)},
                {"vendor", or_null(device.vendor)},
                {"firmware", or_null(device.firmware)},
                {"size_bytes", or_null(device.size_bytes)},
                {"rotational", or_null(device.rotational)},
                {"logical_sector_bytes", or_null(device.logical_sector_bytes)},
                {"physical_sector_bytes", or_null(device.physical_sector_bytes)},
                {"queue_depth", or_null(device.queue_depth)},
                {"scheduler", or_null(device.scheduler)},
                {"transport", device.transport},
                {"link", or_null(device.link)},
                {"link_ceiling_mb_per_second", or_null(device.link_ceiling_mb_per_second)},
                {"backing_file", or_null(device.backing_file)},
                {"server", or_null(device.server)},
                {"protocol", or_null(device.protocol)},
                {"protocol_version", or_null(device.protocol_version)},
                {"read_size", or_null(device.read_size)},
                {"write_size", or_null(device.write_size)}};
}

json note_json(const std::optional<link_note_record>& note) {
    if (!note) return nullptr;
    return json{{"kind", note->kind},
                {"link", or_null(note->link)},
                {"ceiling_mb_per_second", or_null(note->ceiling_mb_per_second)},
                {"text", note->text}};
}

}  // namespace

void add_measured_on(json& document, const run_record& run) {
    const measured_on& on = run.measured;
    const machine_identity& machine = on.machine;
    document["host"]["cpu_model"] = or_null(machine.cpu_model);
    if (machine.dirty_limit_bytes) document["host"]["dirty_limit_bytes"] = *machine.dirty_limit_bytes;
    document["host"]["virtualization"] = json{{"virtual_machine", or_null(machine.virtual_machine)},
                                              {"hypervisor", or_null(machine.hypervisor)},
                                              {"system_vendor", or_null(machine.system_vendor)},
                                              {"system_product", or_null(machine.system_product)}};
    json layers = json::array(), devices = json::array();
    for (const storage_layer& layer : on.target.layers)
        layers.push_back({{"name", layer.name},
                          {"kind", layer.kind},
                          {"level", or_null(layer.level)},
                          {"backing_file", or_null(layer.backing_file)}});
    for (const storage_device& device : on.target.devices) devices.push_back(device_json(device));
    const bool known = on.gathered && on.target.known;
    document["target"]["layers"] = known ? layers : json(nullptr);
    document["target"]["devices"] = known ? devices : json(nullptr);

    json& passes = document["passes"];
    for (std::size_t index = 0; index < run.passes.size() && index < passes.size(); ++index)
        for (json& figure : passes[index]["figures"])
            for (const figure_kind kind : {figure_kind::write_forced, figure_kind::read_uncached})
                if (figure["name"] == figure_names[static_cast<int>(kind)])
                    figure["link_note"] = note_json(run.passes[index].figures[static_cast<int>(kind)].link_note);
}
