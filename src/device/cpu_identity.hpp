// What the processor says of itself and of a hypervisor under it, from the CPUID instruction:
// the same on every OS.
#pragma once

#include <string>

struct cpu_identity {
    bool read = false;  // false where CPUID is not available (not x86)
    bool hypervisor = false;
    // Hyper-V's root partition: the machine itself, under the hypervisor Windows' virtualization-
    // based security starts, which sets the same bit.
    bool hypervisor_root = false;
    std::string hypervisor_vendor;  // CPUID leaf 0x40000000's twelve characters, as given
    std::string brand;              // the processor's brand string, trimmed
};

cpu_identity read_cpu_identity();
