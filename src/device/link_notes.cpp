#include "device/link_notes.hpp"

#include <cmath>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/units.hpp"
#include "device/link_ceiling.hpp"

namespace {

// Whole MB/s grouped by thousands, as the notes print them: 6587.4 → "6,587".
std::string grouped_whole(double value) {
    const std::string digits = std::to_string(static_cast<std::uint64_t>(std::floor(value)));
    std::string text;
    for (std::size_t index = 0; index < digits.size(); ++index) {
        if (index > 0 && (digits.size() - index) % 3 == 0) text += ',';
        text += digits[index];
    }
    return text;
}

}  // namespace

std::optional<link_note> beyond_link_note(const target_identity& target, double mb_per_second, bool read) {
    const auto ceiling = target_ceiling_mb_per_second(target);
    if (!ceiling || mb_per_second <= *ceiling) return std::nullopt;
    link_note note{"beyond_link", std::nullopt, *ceiling, ""};
    const std::string figure = grouped_whole(mb_per_second);
    const std::string most = grouped_whole(*ceiling);
    if (target.devices.size() == 1) {
        note.link = target.devices.front().link;
        note.text = format_text(read ? messages::beyond_link_read : messages::beyond_link_write, figure.c_str(),
                                note.link.value_or("").c_str(), most.c_str());
    } else {
        note.text = format_text(read ? messages::beyond_links_read : messages::beyond_links_write, figure.c_str(),
                                static_cast<unsigned>(target.devices.size()), most.c_str());
    }
    return note;
}

std::optional<link_note> host_cache_note(const measured_on& on, double cached_read_mb_per_second,
                                         double read_mb_per_second, std::int64_t read_us, bool unbuffered) {
    if (unbuffered || on.machine.virtual_machine != true || on.target.devices.empty() ||
        target_ceiling_mb_per_second(on.target))
        return std::nullopt;
    for (const storage_device& device : on.target.devices)
        if (device.transport == "network") return std::nullopt;
    if (read_us < one_second_us || read_mb_per_second <= host_cache_share * cached_read_mb_per_second)
        return std::nullopt;
    const std::string hypervisor = on.machine.hypervisor ? " (" + *on.machine.hypervisor + ")" : std::string();
    return link_note{"host_cache", std::nullopt, std::nullopt,
                     format_text(messages::host_cache, grouped_whole(read_mb_per_second).c_str(),
                                 grouped_whole(cached_read_mb_per_second).c_str(), hypervisor.c_str())};
}
