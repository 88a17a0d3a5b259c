#include "device/cpu_identity.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <cstring>

cpu_identity read_cpu_identity() {
    cpu_identity cpu;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return cpu;
    cpu.read = true;
    cpu.hypervisor = (c & (1u << 31)) != 0;
    if (cpu.hypervisor) {
        __cpuid(0x40000000, a, b, c, d);
        char vendor[13] = {};
        std::memcpy(vendor, &b, 4);
        std::memcpy(vendor + 4, &c, 4);
        std::memcpy(vendor + 8, &d, 4);
        cpu.hypervisor_vendor = vendor;
        // Hyper-V's partition privileges: CreatePartitions is the root's alone.
        if (cpu.hypervisor_vendor == "Microsoft Hv" && a >= 0x40000003) {
            __cpuid(0x40000003, a, b, c, d);
            cpu.hypervisor_root = (b & 1u) != 0;
        }
    }
    if (__get_cpuid_max(0x80000000, nullptr) >= 0x80000004) {
        char brand[49] = {};
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            __cpuid(0x80000002 + leaf, a, b, c, d);
            const unsigned parts[4] = {a, b, c, d};
            std::memcpy(brand + leaf * 16, parts, 16);
        }
        cpu.brand = brand;
        cpu.brand.erase(0, cpu.brand.find_first_not_of(' '));
        cpu.brand.erase(cpu.brand.find_last_not_of(' ') + 1);
    }
#endif
    return cpu;
}
