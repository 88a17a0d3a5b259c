// Whether a machine is virtual, judged on CPUID registers and SMBIOS tables in the form the
// instruction and GetSystemFirmwareTable('RSMB') give them: among them Windows guests with
// virtualization-based security, which are the root partition of their own Hyper-V.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/cpu_identity.hpp"
#include "device/smbios.hpp"
#include "device/virtualization.hpp"

namespace {

constexpr std::uint32_t hypervisor_bit = 1u << 31;

std::uint32_t word(const char* four) {
    std::uint32_t value = 0;
    std::memcpy(&value, four, 4);
    return value;
}

cpuid_answers answers_of(const char* vendor, std::uint32_t privileges_ebx, std::uint32_t recommendations_eax,
                         std::uint32_t highest = 0x4000000B) {
    cpuid_answers answers;
    answers.available = true;
    answers.leaf_1_ecx = 0x76FA3223 | hypervisor_bit;
    answers.hypervisor_leaf[0] = highest;
    answers.hypervisor_leaf[1] = word(vendor);
    answers.hypervisor_leaf[2] = word(vendor + 4);
    answers.hypervisor_leaf[3] = word(vendor + 8);
    answers.hyperv_privileges_ebx = privileges_ebx;
    answers.hyperv_recommendations_eax = recommendations_eax;
    answers.brand = "      Intel(R) Xeon(R) Gold 6338 CPU @ 2.00GHz";
    answers.brand.resize(48, '\0');
    return answers;
}

// Hyper-V's privileges as its root and as a guest see them, and its recommendations with and
// without the bit saying it is nested in another Hyper-V's partition.
constexpr std::uint32_t root_privileges = 0x00BBBFFF, guest_privileges = 0x003B8030;
constexpr std::uint32_t recommendations = 0x00060E2C, nested_recommendations = 0x00061E2C;

// An RSMB answer: the 8-byte header, a BIOS structure (type 0), the System Information (type 1)
// with `manufacturer` and `product` as its strings 1 and 2, and the end of the table.
std::vector<unsigned char> rsmb(const std::string& manufacturer, const std::string& product) {
    std::vector<unsigned char> table(8 + 0x18, 0);
    table[1] = 3;     // SMBIOS 3.4
    table[2] = 4;
    table[8] = 0;     // type 0: BIOS, of 0x18 formatted bytes, its vendor string 1
    table[9] = 0x18;
    table[12] = 1;
    for (const char* text : {"EDK II", "edk2-stable202302"}) table.insert(table.end(), text, text + std::strlen(text) + 1);
    table.push_back(0);
    const std::size_t system = table.size();
    table.resize(system + 0x1B);
    table[system] = 1;  // type 1: System Information, manufacturer, product and version strings 1 to 3
    table[system + 1] = 0x1B;
    table[system + 4] = 1;
    table[system + 5] = 2;
    table[system + 6] = 3;
    for (const std::string& text : {manufacturer, product, std::string("pc-q35-7.2")})
        table.insert(table.end(), text.c_str(), text.c_str() + text.size() + 1);
    table.push_back(0);
    table.insert(table.end(), {127, 4, 0xFF, 0xFE, 0, 0});
    const auto length = static_cast<std::uint32_t>(table.size() - 8);
    std::memcpy(table.data() + 4, &length, 4);
    return table;
}

virtualization_verdict judged(const cpuid_answers& answers, const std::vector<unsigned char>& table) {
    const smbios_system system = parse_smbios_system(table);
    return judge_virtualization(identify_cpu(answers), system.manufacturer, system.product);
}

}  // namespace

TEST(Virtualization, WindowsUnderItsOwnHyperVIsPhysicalOnlyWhenNothingElseSaysVirtual) {
    const cpuid_answers vbs_root = answers_of("Microsoft Hv", root_privileges, recommendations);
    const cpu_identity cpu = identify_cpu(vbs_root);
    EXPECT_TRUE(cpu.hypervisor_root);
    EXPECT_FALSE(cpu.hypervisor_nested);
    EXPECT_EQ(cpu.brand, "Intel(R) Xeon(R) Gold 6338 CPU @ 2.00GHz");

    // A workstation with virtualization-based security: its own Hyper-V, a real maker.
    virtualization_verdict verdict = judged(vbs_root, rsmb("Dell Inc.", "Precision 5570"));
    EXPECT_EQ(verdict.virtual_machine, false);
    EXPECT_EQ(verdict.hypervisor, "Hyper-V");
    // The same guest OS with VBS in a virtual machine: the firmware names the platform.
    const std::pair<std::pair<const char*, const char*>, const char*> platforms[] = {
        {{"QEMU", "Standard PC (Q35 + ICH9, 2009)"}, "QEMU"},
        {{"Red Hat", "KVM"}, "KVM"},
        {{"VMware, Inc.", "VMware20,1"}, "VMware"},
        {{"innotek GmbH", "VirtualBox"}, "VirtualBox"},
        {{"Microsoft Corporation", "Virtual Machine"}, "Hyper-V"},
        {{"Xen", "HVM domU"}, "Xen"},
        {{"Amazon EC2", "m5.large"}, "Amazon EC2"},
    };
    for (const auto& [firmware, name] : platforms) {
        verdict = judged(vbs_root, rsmb(firmware.first, firmware.second));
        EXPECT_EQ(verdict.virtual_machine, true) << firmware.first;
        EXPECT_EQ(verdict.hypervisor, name) << firmware.first;
    }
    // A Microsoft machine that is hardware, and a cloud's bare-metal one, stay physical.
    EXPECT_EQ(judged(vbs_root, rsmb("Microsoft Corporation", "Surface Laptop 5")).virtual_machine, false);
    EXPECT_EQ(judged(vbs_root, rsmb("Amazon EC2", "c5.metal")).virtual_machine, false);
    // Hyper-V saying it is nested inside another Hyper-V's partition needs no firmware.
    verdict = judged(answers_of("Microsoft Hv", root_privileges, nested_recommendations), {});
    EXPECT_EQ(verdict.virtual_machine, true);
    EXPECT_EQ(verdict.hypervisor, "Hyper-V");
}

TEST(Virtualization, GuestsHiddenHypervisorsAndMachinesWithoutCpuid) {
    // A Hyper-V guest, and a KVM guest, say so by CPUID alone.
    virtualization_verdict verdict = judged(answers_of("Microsoft Hv", guest_privileges, recommendations), {});
    EXPECT_EQ(verdict.virtual_machine, true);
    EXPECT_EQ(verdict.hypervisor, "Hyper-V");
    verdict = judged(answers_of("KVMKVMKVM\0\0\0", 0, 0, 0x40000001), rsmb("QEMU", "Standard PC (i440FX + PIIX, 1996)"));
    EXPECT_EQ(verdict.virtual_machine, true);
    EXPECT_EQ(verdict.hypervisor, "KVM");
    // Another hypervisor's leaves 3 and 4 mean nothing of Hyper-V's: no root is read there.
    EXPECT_FALSE(identify_cpu(answers_of("KVMKVMKVM\0\0\0", root_privileges, nested_recommendations)).hypervisor_root);

    // A hypervisor that hides its bit still leaves the firmware's name.
    cpuid_answers hidden = answers_of("\0\0\0\0\0\0\0\0\0\0\0", 0, 0);
    hidden.leaf_1_ecx &= ~hypervisor_bit;
    verdict = judged(hidden, rsmb("QEMU", "Standard PC (Q35 + ICH9, 2009)"));
    EXPECT_EQ(verdict.virtual_machine, true);
    EXPECT_EQ(verdict.hypervisor, "QEMU");
    verdict = judged(hidden, rsmb("LENOVO", "20XW0055GE"));
    EXPECT_EQ(verdict.virtual_machine, false);
    EXPECT_FALSE(verdict.hypervisor);

    // No CPUID (not x86): the firmware alone, or nothing known.
    EXPECT_EQ(judged(cpuid_answers{}, rsmb("QEMU", "KVM Virtual Machine")).virtual_machine, true);
    EXPECT_FALSE(judged(cpuid_answers{}, rsmb("Raspberry Pi Foundation", "Raspberry Pi 4")).virtual_machine);
    EXPECT_FALSE(judged(cpuid_answers{}, {}).virtual_machine);
}

TEST(Virtualization, ShortOrMalformedSmbiosTablesLeaveTheSystemUnknown) {
    const std::vector<unsigned char> whole = rsmb("QEMU", "Standard PC (Q35 + ICH9, 2009)");
    smbios_system system = parse_smbios_system(whole);
    EXPECT_EQ(system.manufacturer, "QEMU");
    EXPECT_EQ(system.product, "Standard PC (Q35 + ICH9, 2009)");

    // Every truncation, and every byte set to each of a few values, is read within the answer:
    // what it names is text the answer holds, or nothing.
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const smbios_system cut = parse_smbios_system(std::vector<unsigned char>(whole.begin(), whole.begin() + size));
        EXPECT_TRUE(!cut.manufacturer || *cut.manufacturer == "QEMU") << size;
    }
    for (std::size_t at = 0; at < whole.size(); ++at) {
        for (const unsigned char value : {0x00, 0x01, 0x04, 0x7F, 0xFF}) {
            std::vector<unsigned char> changed = whole;
            changed[at] = value;
            const smbios_system found = parse_smbios_system(changed);
            const std::string changed_bytes(changed.begin(), changed.end());
            for (const auto& text : {found.manufacturer, found.product})
                EXPECT_TRUE(!text || changed_bytes.find(*text) != std::string::npos) << at << " " << int{value};
        }
    }
    // A string number past the strings given, or 0 (none), is unknown.
    std::vector<unsigned char> past = whole;
    past[8 + 0x18 + std::strlen("EDK II") + std::strlen("edk2-stable202302") + 3 + 5] = 9;
    EXPECT_FALSE(parse_smbios_system(past).product);
    std::vector<unsigned char> none = whole;
    none[8 + 0x18 + std::strlen("EDK II") + std::strlen("edk2-stable202302") + 3 + 4] = 0;
    EXPECT_FALSE(parse_smbios_system(none).manufacturer);
    EXPECT_EQ(parse_smbios_system(none).product, "Standard PC (Q35 + ICH9, 2009)");
}
