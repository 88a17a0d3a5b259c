#include "common/bounded_call.hpp"
#include "device/cpu_identity.hpp"
#include "device/identity.hpp"
#include "device/smbios.hpp"
#include "device/sysfs_walk.hpp"
#include "device/virtualization.hpp"
#include "device/windows_descriptors.hpp"
#include "platform/device_identity.hpp"
#include "platform/dirty_limit.hpp"
#include "platform/machine_identity.hpp"
#include "platform/system_info.hpp"

namespace {

machine_identity identify_machine(const std::string& root) {
    machine_identity machine;
    const cpu_identity cpu = read_cpu_identity();
    if (!cpu.brand.empty()) machine.cpu_model = cpu.brand;
    if (!root.empty()) {
        read_dmi(root, machine);
    } else {
        const smbios_system system = parse_smbios_system(firmware_smbios_table());
        machine.system_vendor = system.manufacturer;
        machine.system_product = system.product;
    }
    const virtualization_verdict verdict = judge_virtualization(cpu, machine.system_vendor, machine.system_product);
    machine.virtual_machine = verdict.virtual_machine;
    machine.hypervisor = verdict.hypervisor;
    const dirty_settings dirty = read_dirty_settings(root);
    if (dirty.known) machine.dirty_limit_bytes = dirty_limit_bytes(dirty, describe_host().memory_bytes);
    return machine;
}

measured_on gather(const std::string& directory) {
    measured_on found;
    const std::string root = kernel_files_root();
    found.machine = identify_machine(root);
    device_number number;
    volume_answers answers;
    if (!root.empty() && device_number_of(directory, number))
        found.target = walk_storage(root, number, device_number_of);
    else if (query_volume(directory, answers))
        found.target = parse_volume_answers(answers);
    found.gathered = true;
    return found;
}

}  // namespace

// Without an answer in time (a hung network mount) or a thread to spare, the run goes on
// knowing nothing of its device.
measured_on identify_measured_on(const std::string& directory, int limit_ms) {
    return call_within(limit_ms, [directory] { return gather(directory); }).value_or(measured_on{});
}
