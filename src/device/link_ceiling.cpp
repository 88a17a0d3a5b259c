#include "device/link_ceiling.hpp"

#include <cmath>
#include <cstdio>

namespace {

bool near(double value, double expected) { return std::fabs(value - expected) < expected * 0.05; }

std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

link_rate pcie_link(double gigatransfers, unsigned lanes) {
    // Per lane after coding: 8b/10b up to 5 GT/s, 128b/130b from 8 GT/s, none at 64 GT/s (FLIT).
    struct generation {
        double gigatransfers;
        const char* name;
        double mb_per_lane;
    };
    static const generation generations[] = {{2.5, "1.0", 250},   {5, "2.0", 500},     {8, "3.0", 984.6},
                                             {16, "4.0", 1969.2}, {32, "5.0", 3938.5}, {64, "6.0", 8000}};
    if (lanes == 0) return {};
    for (const generation& known : generations)
        if (near(gigatransfers, known.gigatransfers))
            return {std::string("PCIe ") + known.name + " x" + std::to_string(lanes), known.mb_per_lane * lanes};
    return {};
}

link_rate sata_link(double gigabits) {
    for (const double known : {1.5, 3.0, 6.0}) {
        if (!near(gigabits, known)) continue;
        char name[32];
        std::snprintf(name, sizeof name, "SATA %.1f Gb/s", known);
        return {std::string(name), known * 100};
    }
    return {};
}

link_rate sas_link(double gigabits) {
    // 8b/10b up to 12 Gb/s; SAS-4's 22.5 Gb/s carries 2,400 MB/s after 128b/150b.
    for (const double known : {1.5, 3.0, 6.0, 12.0})
        if (near(gigabits, known)) return {"SAS " + number_text(known) + " Gb/s", known * 100};
    if (near(gigabits, 22.5)) return {std::string("SAS 22.5 Gb/s"), 2400.0};
    return {};
}

link_rate usb_link(double megabits) {
    struct speed {
        double megabits;
        const char* name;
        double ceiling;
    };
    static const speed speeds[] = {{1.5, "USB 1.0", 0.19},         {12, "USB 1.1", 1.5},
                                   {480, "USB 2.0", 53.248},       {5000, "USB 3.0", 500},
                                   {10000, "USB 3.2 Gen 2", 1212}, {20000, "USB 3.2 Gen 2x2", 2424}};
    for (const speed& known : speeds)
        if (near(megabits, known.megabits)) return {std::string(known.name), known.ceiling};
    return {};
}

link_rate network_link(std::uint64_t megabits, const std::string& interface_name) {
    if (megabits == 0) return {};
    const std::string speed = megabits >= 1000 && megabits % 1000 == 0 ? std::to_string(megabits / 1000) + " Gb/s"
                                                                       : std::to_string(megabits) + " Mb/s";
    return {speed + " network (" + interface_name + ")", static_cast<double>(megabits) / 8};
}

std::optional<double> target_ceiling_mb_per_second(const target_identity& target) {
    if (target.devices.empty()) return std::nullopt;
    double sum = 0;
    for (const storage_device& device : target.devices) {
        if (!device.link_ceiling_mb_per_second) return std::nullopt;
        sum += *device.link_ceiling_mb_per_second;
    }
    return sum;
}
