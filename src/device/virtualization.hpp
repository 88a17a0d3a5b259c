// Whether the machine is a virtual machine, and under which hypervisor, from the processor's
// answers and the firmware's maker and model.
#pragma once

#include <optional>
#include <string>

#include "device/cpu_identity.hpp"

struct virtualization_verdict {
    std::optional<bool> virtual_machine;  // null when neither CPUID nor the firmware could tell
    std::optional<std::string> hypervisor;
};

// A hypervisor whose guest this is, per CPUID, makes a virtual machine. Hyper-V's root partition
// is the machine itself (as under Windows' virtualization-based security) unless that Hyper-V
// says it is nested in another Hyper-V's partition, or the firmware's maker and model are a
// virtual platform's: a Windows guest with VBS is its own Hyper-V's root. A firmware that names
// a virtual platform also makes a virtual machine of one whose hypervisor hides itself.
virtualization_verdict judge_virtualization(const cpu_identity& cpu, const std::optional<std::string>& system_vendor,
                                            const std::optional<std::string>& system_product);
