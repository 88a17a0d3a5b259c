#include "report/measured_on_card.hpp"

#include "report/page_text.hpp"

using json = nlohmann::ordered_json;

namespace {

std::string text_or(const json& value, const std::string& otherwise) {
    return value.is_string() && !value.get<std::string>().empty() ? value.get<std::string>() : otherwise;
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
std::string device_line(const json& device) {
    const std::string transport = device["transport"];
    std::string line;
    if (transport == "network") {
        line = text_or(device["server"], "server unknown") + " (" + text_or(device["protocol"], "network");
        if (device["protocol_version"].is_string())
            line.append(" ").append(device["protocol_version"].get<std::string>());
        line += ")";
    } else {
        line = text_or(device["model"], device["name"].get<std::string>());
        if (device["vendor"].is_string()) line = device["vendor"].get<std::string>() + " " + line;
        if (device["size_bytes"].is_number()) line += ", " + binary_size(device["size_bytes"].get<std::uint64_t>());
        if (device["backing_file"].is_string()) line += ", over " + device["backing_file"].get<std::string>();
    }
    // "USB 2.0" says its bus; "PCIe 4.0 x4" does not.
    const std::string link = text_or(device["link"], "");
    const std::string bus = transport_name(transport);
    line += " · " + (link.empty() ? bus : link.find(bus) != std::string::npos ? link : link + " (" + bus + ")");
    return line;
}

std::string drive_line(const json& target) {
    const json& devices = target["devices"];
    if (!devices.is_array()) return "device unknown";
    if (devices.empty()) return "no device: " + text_or(target["file_system"], "file system unknown");
    std::string line;
    for (const json& layer : target["layers"])
        line += layer["name"].get<std::string>() + " (" +
                (layer["level"].is_string() ? layer["level"].get<std::string>() : layer["kind"].get<std::string>()) +
                ") over ";
    for (std::size_t index = 0; index < devices.size(); ++index)
        line += (index == 0 ? "" : " + ") + device_line(devices[index]);
    return line;
}

std::string machine_line(const json& host) {
    std::string line = host["name"].get<std::string>();
    const json& virtualization = host["virtualization"];
    if (virtualization["virtual_machine"] == true)
        line += " · virtual machine" + (virtualization["hypervisor"].is_string()
                                            ? " (" + virtualization["hypervisor"].get<std::string>() + ")"
                                            : std::string());
    if (host["cpu_model"].is_string()) line += " · " + host["cpu_model"].get<std::string>();
    line += " · " + std::to_string(host["logical_cpus"].get<unsigned>()) + " logical CPUs · " +
            binary_size(host["memory_bytes"].get<std::uint64_t>()) + " · " + host["os"].get<std::string>() + " " +
            host["os_version"].get<std::string>();
    return line;
}

}  // namespace

std::string measured_on_card(const json& results) {
    return "<section class=\"figure measured\" style=\"--accent: #64748b\"><div class=\"name\">Measured on</div>"
           "<div class=\"drive\">" +
           html_escape(drive_line(results["target"])) + "</div><div class=\"other\">" +
           html_escape(machine_line(results["host"])) + "</div></section>";
}
