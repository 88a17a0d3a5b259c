#include "device/virtualization.hpp"

#include <utility>

namespace {

// CPUID's vendor words of the common hypervisors, by the names people know them by.
std::string hypervisor_name(const std::string& vendor) {
    static const std::pair<const char*, const char*> names[] = {
        {"KVMKVMKVM", "KVM"},       {"Linux KVM Hv", "KVM"},       {"Microsoft Hv", "Hyper-V"},
        {"VMwareVMware", "VMware"}, {"XenVMMXenVMM", "Xen"},       {"VBoxVBoxVBox", "VirtualBox"},
        {"TCGTCGTCGTCG", "QEMU"},   {" lrpepyh  vr", "Parallels"}, {"bhyve bhyve ", "bhyve"},
        {"ACRNACRNACRN", "ACRN"},   {"QNXQVMBSQG", "QNX"},         {"Apple VZ", "Apple"}};
    for (const auto& [word, name] : names)
        if (vendor == word) return name;
    return vendor;
}

bool starts_with(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The virtual platform that the firmware's maker and model name, as their hypervisors' makers
// fill them in; nothing for any other machine, a cloud's bare-metal ones included.
std::optional<std::string> virtual_platform(const std::string& vendor, const std::string& product) {
    if (vendor == "QEMU" || starts_with(product, "Standard PC (")) return "QEMU";
    if (product == "KVM" || product == "RHEL" || starts_with(product, "KVM ")) return "KVM";
    if (starts_with(vendor, "VMware") || starts_with(product, "VMware")) return "VMware";
    if (vendor == "innotek GmbH" || product == "VirtualBox") return "VirtualBox";
    if (vendor == "Microsoft Corporation" && product == "Virtual Machine") return "Hyper-V";
    if (vendor == "Xen" || starts_with(product, "HVM domU")) return "Xen";
    if (starts_with(vendor, "Parallels") || starts_with(product, "Parallels")) return "Parallels";
    if (vendor == "Bochs" || product == "Bochs") return "Bochs";
    if (vendor == "Google" && product == "Google Compute Engine") return "Google Compute Engine";
    if (vendor == "Amazon EC2" && !ends_with(product, ".metal")) return "Amazon EC2";
    return std::nullopt;
}

}  // namespace

virtualization_verdict judge_virtualization(const cpu_identity& cpu, const std::optional<std::string>& system_vendor,
                                            const std::optional<std::string>& system_product) {
    const std::optional<std::string> platform =
        virtual_platform(system_vendor.value_or(""), system_product.value_or(""));
    virtualization_verdict verdict;
    if (cpu.hypervisor && !cpu.hypervisor_vendor.empty()) verdict.hypervisor = hypervisor_name(cpu.hypervisor_vendor);
    if (cpu.read) verdict.virtual_machine = cpu.hypervisor && !cpu.hypervisor_root;
    if (verdict.virtual_machine == true) return verdict;
    if (cpu.hypervisor_root && cpu.hypervisor_nested) {
        verdict.virtual_machine = true;
        verdict.hypervisor = "Hyper-V";
    } else if (platform) {
        verdict.virtual_machine = true;
        verdict.hypervisor = platform;
    }
    return verdict;
}
