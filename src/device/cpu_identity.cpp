#include "device/cpu_identity.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <cstring>

namespace {

constexpr std::uint32_t hypervisor_present = 1u << 31;
// Hyper-V's partition privileges: CreatePartitions is the root's alone.
constexpr std::uint32_t create_partitions = 1u << 0;
// Hyper-V's recommendations: this hypervisor runs inside another Hyper-V's partition.
constexpr std::uint32_t nested_hypervisor = 1u << 12;

}  // namespace

cpuid_answers read_cpuid() {
    cpuid_answers answers;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return answers;
    answers.available = true;
    answers.leaf_1_ecx = c;
    if ((c & hypervisor_present) != 0) {
        __cpuid(0x40000000, a, b, c, d);
        answers.hypervisor_leaf[0] = a;
        answers.hypervisor_leaf[1] = b;
        answers.hypervisor_leaf[2] = c;
        answers.hypervisor_leaf[3] = d;
        const unsigned highest = a;
        if (highest >= 0x40000003) {
            __cpuid(0x40000003, a, b, c, d);
            answers.hyperv_privileges_ebx = b;
        }
        if (highest >= 0x40000004) {
            __cpuid(0x40000004, a, b, c, d);
            answers.hyperv_recommendations_eax = a;
        }
    }
    if (__get_cpuid_max(0x80000000, nullptr) >= 0x80000004) {
        char brand[49] = {};
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            __cpuid(0x80000002 + leaf, a, b, c, d);
            const unsigned parts[4] = {a, b, c, d};
            std::memcpy(brand + leaf * 16, parts, 16);
        }
        answers.brand = brand;
    }
#endif
    return answers;
}

cpu_identity identify_cpu(const cpuid_answers& answers) {
    cpu_identity cpu;
    if (!answers.available) return cpu;
    cpu.read = true;
    cpu.hypervisor = (answers.leaf_1_ecx & hypervisor_present) != 0;
    if (cpu.hypervisor) {
        char vendor[13] = {};
        std::memcpy(vendor, &answers.hypervisor_leaf[1], 4);
        std::memcpy(vendor + 4, &answers.hypervisor_leaf[2], 4);
        std::memcpy(vendor + 8, &answers.hypervisor_leaf[3], 4);
        cpu.hypervisor_vendor = vendor;
        // Only Hyper-V's leaves have these meanings.
        if (cpu.hypervisor_vendor == "Microsoft Hv") {
            const std::uint32_t highest = answers.hypervisor_leaf[0];
            cpu.hypervisor_root = highest >= 0x40000003 && (answers.hyperv_privileges_ebx & create_partitions) != 0;
            cpu.hypervisor_nested =
                highest >= 0x40000004 && (answers.hyperv_recommendations_eax & nested_hypervisor) != 0;
        }
    }
    cpu.brand = answers.brand.substr(0, answers.brand.find('\0'));
    cpu.brand.erase(0, cpu.brand.find_first_not_of(' '));
    const std::size_t last = cpu.brand.find_last_not_of(' ');
    cpu.brand.erase(last == std::string::npos ? 0 : last + 1);
    return cpu;
}
