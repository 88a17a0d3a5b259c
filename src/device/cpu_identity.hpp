// What the processor says of itself and of a hypervisor under it, from the CPUID instruction:
// the same on every OS. The registers are read in one place and interpreted in another, so that
// the interpretation is tested on answers recorded from real machines.
#pragma once

#include <cstdint>
#include <string>

// The CPUID answers the identity is made of, as the instruction gave them.
struct cpuid_answers {
    bool available = false;            // false where CPUID is not available (not x86)
    std::uint32_t leaf_1_ecx = 0;      // bit 31: a hypervisor is present
    std::uint32_t hypervisor_leaf[4] = {};  // 0x40000000: the highest hypervisor leaf, then the vendor's 12 characters
    std::uint32_t hyperv_privileges_ebx = 0;    // Hyper-V's 0x40000003 EBX: the partition's privileges
    std::uint32_t hyperv_recommendations_eax = 0;  // Hyper-V's 0x40000004 EAX
    std::string brand;                 // 0x80000002 to 0x80000004, as given
};

struct cpu_identity {
    bool read = false;  // false where CPUID is not available (not x86)
    bool hypervisor = false;
    // Hyper-V's root partition: the machine itself, under the hypervisor Windows' virtualization-
    // based security starts, which sets the same bit; unless that Hyper-V says it is nested in
    // another Hyper-V's partition, or the firmware names a virtual machine (device/virtualization).
    bool hypervisor_root = false;
    bool hypervisor_nested = false;
    std::string hypervisor_vendor;  // CPUID leaf 0x40000000's twelve characters, as given
    std::string brand;              // the processor's brand string, trimmed
};

cpuid_answers read_cpuid();

cpu_identity identify_cpu(const cpuid_answers& answers);

inline cpu_identity read_cpu_identity() { return identify_cpu(read_cpuid()); }
