#include "platform/console_events.hpp"

#include <cctype>
#include <cstdlib>

namespace {

// The status of a run ended by a closed console, a log-off or a shutdown, as SIGHUP's on Linux.
constexpr int closing_status = 129;
constexpr int ctrl_c_status = 130;

// The system's clock and the process's are read apart: this much of a budget is left unused.
constexpr std::uint32_t timing_margin_ms = 500;

std::uint32_t default_budget_ms(time_budget budget) { return budget == time_budget::hung_app ? 5000 : 20000; }

// A decimal number of milliseconds, spaces around it aside; nothing for any other text.
std::optional<std::uint32_t> milliseconds(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    std::size_t end = start;
    std::uint64_t value = 0;
    for (; end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])); ++end) {
        value = value * 10 + static_cast<std::uint64_t>(text[end] - '0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    if (end == start) return std::nullopt;
    while (end < text.size() && std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    if (end != text.size()) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

event_response respond_to(console_event event, const session_answer& session) {
    switch (event) {
        case console_event::ctrl_c:
        case console_event::ctrl_break: return {event_action::interrupt, ctrl_c_status, time_budget::hung_app};
        case console_event::close: return {event_action::end_before_deadline, closing_status, time_budget::hung_app};
        case console_event::shutdown:
            return {event_action::end_before_deadline, closing_status,
                    session == 0u ? time_budget::wait_to_kill_service : time_budget::wait_to_kill_app};
        case console_event::logoff: return {event_action::keep_running, 0, time_budget::hung_app};
        case console_event::other: break;
    }
    return {};
}

std::uint32_t budget_ms(time_budget budget, const std::optional<std::string>& registry_value) {
    if (!registry_value) return default_budget_ms(budget);
    return milliseconds(*registry_value).value_or(default_budget_ms(budget));
}

std::uint32_t usable_ms(std::uint32_t budget) {
    return budget > 2 * timing_margin_ms ? budget - timing_margin_ms : budget / 2;
}

int status_after_saving(closing_end& end, int status, bool closing) {
    int decided = -1;
    const bool first = end.decided_status.compare_exchange_strong(decided, status);
    if (first) decided = status;
    return closing || !first ? decided : -1;
}

int status_at_deadline(closing_end& end, int interruption_status) {
    int decided = -1;
    if (end.decided_status.compare_exchange_strong(decided, interruption_status)) return interruption_status;
    return decided;
}
