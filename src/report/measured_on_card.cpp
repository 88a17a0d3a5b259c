#include "report/measured_on_card.hpp"

#include "report/page_text.hpp"

namespace {

std::string text_or(const std::optional<std::string>& value, const std::string& otherwise) {
    return value && !value->empty() ? *value : otherwise;
}

std::string transport_name(const std::string& transport) {
    static const std::pair<const char*, const char*> names[] = {{"nvme", "NVMe"},        {"sata", "SATA"},
                                                                {"sas", "SAS"},          {"scsi", "SCSI"},
                                                                {"usb", "USB"},          {"virtio", "virtio, virtual"},
                                                                {"xen", "Xen, virtual"}, {"hyperv", "Hyper-V, virtual"},
                                                                {"mmc", "MMC/SD"},       {"loop", "loop"},
                                                                {"network", "network"},  {"unknown", "bus unknown"}};
    for (const auto& [word, name] : names)
        if (transport == word) return name;
    return transport;
}

// "Samsung SSD 980 PRO 1TB, 1 TiB · PCIe 4.0 x4 (NVMe)"; a share: "nas (NFS 4.2) · 1 Gb/s network (eth0)".
std::string device_line(const storage_device& device) {
    std::string line;
    if (device.transport == "network") {
        line = text_or(device.server, "server unknown") + " (" + text_or(device.protocol, "network");
        if (device.protocol_version) line.append(" ").append(*device.protocol_version);
        line += ")";
    } else {
        line = text_or(device.model, device.name);
        if (device.vendor) line = *device.vendor + " " + line;
        if (device.size_bytes) line += ", " + binary_size(*device.size_bytes);
        if (device.backing_file) line += ", over " + *device.backing_file;
    }
    // "USB 2.0" says its bus; "PCIe 4.0 x4" does not.
    const std::string link = text_or(device.link, "");
    const std::string bus = transport_name(device.transport);
    line += " · " + (link.empty() ? bus : link.find(bus) != std::string::npos ? link : link + " (" + bus + ")");
    return line;
}

std::string drive_line(const run_record& run) {
    const target_identity& target = run.measured.target;
    if (!run.measured.gathered || !target.known) return "device unknown";
    if (target.devices.empty()) return "no device: " + text_or(run.target.file_system, "file system unknown");
    std::string line;
    for (const storage_layer& layer : target.layers)
        line += layer.name + " (" + (layer.level ? *layer.level : layer.kind) + ") over ";
    for (std::size_t index = 0; index < target.devices.size(); ++index)
        line += (index == 0 ? "" : " + ") + device_line(target.devices[index]);
    return line;
}

std::string machine_line(const run_record& run) {
    const host_record& host = run.host;
    const machine_identity& machine = run.measured.machine;
    std::string line = host.name;
    if (machine.virtual_machine == true)
        line += " · virtual machine" + (machine.hypervisor ? " (" + *machine.hypervisor + ")" : std::string());
    if (machine.cpu_model) line += " · " + *machine.cpu_model;
    line += " · " + std::to_string(host.logical_cpus) + " logical CPUs · " + binary_size(host.memory_bytes) + " · " +
            host.os + " " + host.os_version;
    return line;
}

}  // namespace

std::string measured_on_card(const run_record& run) {
    return "<section class=\"figure measured\" style=\"--accent: #64748b\"><div class=\"name\">Measured on</div>"
           "<div class=\"drive\">" +
           html_escape(drive_line(run)) + "</div><div class=\"other\">" + html_escape(machine_line(run)) +
           "</div></section>";
}
