#include "report/rate_drop_text.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/rounded_text.hpp"

std::string rate_drop_sentence(const rate_drop& drop) {
    return format_text(messages::rate_drop, mb_per_second_text(drop.before_bytes_per_second).c_str(),
                       mb_per_second_text(drop.after_bytes_per_second).c_str(), amount_text(drop.at_bytes, true).c_str());
}
