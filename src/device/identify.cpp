#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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

// A hung network mount can block any call on the directory: the gathering runs on a thread
// of its own, which is left behind, still blocked, when the time limit runs out.
measured_on identify_measured_on(const std::string& directory, int limit_ms) {
    struct shared_state {
        std::mutex lock;
        std::condition_variable done_signal;
        bool done = false;
        measured_on result;
    };
    const auto state = std::make_shared<shared_state>();
    try {
        std::thread([state, directory] {
            measured_on result = gather(directory);
            const std::lock_guard<std::mutex> guard(state->lock);
            state->result = std::move(result);
            state->done = true;
            state->done_signal.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the run goes on knowing nothing of its device.
        return measured_on{};
    }
    std::unique_lock<std::mutex> guard(state->lock);
    if (!state->done_signal.wait_for(guard, std::chrono::milliseconds(limit_ms), [&state] { return state->done; }))
        return measured_on{};
    return state->result;
}
